#pragma once
// The temporary files of a benchmark run. Every benchmark program starts with
// the temporary folder (TMPDIR, and so std::filesystem::temp_directory_path)
// pointing into a folder of its own run; a watcher process removes that
// folder when the program ends, however it ends (killed included). What is
// worth keeping between runs (big fixtures) goes into BenchKeepFolder()
// instead, by a rename once it is complete, so a killed run never leaves a
// half-made fixture for the next one.
#include <functional>
#include <string>

// The temporary folder the program was started with (where fixtures kept
// between runs live).
const std::string& BenchKeepFolder();

// The run's own folder (the temporary folder while the program runs).
const std::string& BenchRunFolder();

// A kept fixture file: its path in BenchKeepFolder() once made. Make writes
// it at the path it is given (inside the run's folder); when Make returns, the
// file is moved into place. Made only when missing.
std::string KeptFixture(const std::string& Name, const std::function<void(const std::string& Path)>& Make);
