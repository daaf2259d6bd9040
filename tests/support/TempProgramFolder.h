#pragma once
// A throw-away program folder for tests that use the log database: a fresh
// folder under the system's temporary folder holding a copy of the
// RDSLOG.FDB the build made, removed again with everything in it.
#include <string>

class TTempProgramFolder {
 public:
  // WithDatabase: copy the built RDSLOG.FDB into it.
  explicit TTempProgramFolder(bool WithDatabase = true);
  ~TTempProgramFolder();
  TTempProgramFolder(const TTempProgramFolder&) = delete;
  TTempProgramFolder& operator=(const TTempProgramFolder&) = delete;

  // The folder, with a trailing separator.
  const std::string& Path() const { return path_; }
  std::string File(const std::string& Name) const { return path_ + Name; }
  std::string Database() const { return File("RDSLOG.FDB"); }

  // The empty RDSLOG.FDB the build made (not the program folder's, which
  // holds whatever the program has logged there).
  static std::string BuiltDatabase();

 private:
  std::string path_;
};
