#pragma once
// The embedded database engine runs inside the program's own process. Before
// the log database is opened, the engine's configuration and its character
// set module are written next to the program, and the engine is pointed at
// them through its environment variables; at exit they are removed again.
//
//   <program folder>/firebird.conf      Providers = Engine12: no server, in-process only
//   <program folder>/databases.conf     no aliases
//   <program folder>/udf/fbudf.so, ib_udf.so     copies of the system's UDF modules
//   <program folder>/intl/libfbintl.so  a real copy of the system's character set module
//
// FIREBIRD points at the program folder, FIREBIRD_LOCK and FIREBIRD_TMP at a
// folder private to the user.
#include <stdexcept>
#include <string>
#include <vector>

// What the start-up reports when the deployment fails.
inline constexpr const char* kFirebirdInitError = "Error initializing Firebird embedded";

// The folder of the running program file, with a trailing separator.
std::string ProgramFolder();

// The files and folders a deployment made that were not there before.
using TCreatedEngineFiles = std::vector<std::string>;

// Writes the engine files into the program folder (folders "udf" and "intl"
// are created when missing, used as they are otherwise) and sets the
// engine's environment. True when every folder exists and every file was
// written; false on any failure (files already written stay). Created, when
// given, learns what was made, also on failure.
bool DeployEmbeddedDatabase(const std::string& programFolder, TCreatedEngineFiles* Created = nullptr);
bool DeployEmbeddedDatabase();

// Deletes the engine files and then the "udf" and "intl" folders when they
// are empty. Every failure is ignored; always true.
bool RemoveEmbeddedDatabase(const std::string& programFolder);
bool RemoveEmbeddedDatabase();

// Removes only what a deployment made (after a failed start-up: the files
// it found may be another running instance's). Failures are ignored.
void RemoveCreatedEngineFiles(const TCreatedEngineFiles& Created);

// The start-up step: deploys, or raises kFirebirdInitError.
void RequireEmbeddedDatabase(const std::string& programFolder, TCreatedEngineFiles* Created = nullptr);

// The user's private folder for the engine's lock and temporary files: in the
// user's runtime folder, else a fresh one; empty when none can be made.
std::string EngineLockFolder();
