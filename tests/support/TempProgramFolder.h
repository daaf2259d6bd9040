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

  // The RDSLOG.FDB of the build's program folder (FW_BIN_DIR, else the bin
  // folder beside the test program's folder).
  static std::string BuiltDatabase();

 private:
  std::string path_;
};
