#pragma once
// Folders private to the user, for the files that other users must not be
// able to plant or claim first: the single-instance lock and message socket,
// the database engine's lock files.
#include <string>

// The per-user runtime folder ($XDG_RUNTIME_DIR, else a private folder under
// the temporary folder, else one in the user's home folder).
std::string RuntimeFolder();
// Creates `dir` (mode 0700) when missing; true when it is a real folder (no
// link) of this user that nobody else may write to - lax permissions of our
// own folder are tightened. Anyone can create a folder of the expected name
// under the shared temporary folder first and plant links in it.
bool MakePrivateFolder(const std::string& dir);
