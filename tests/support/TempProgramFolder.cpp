#include "support/TempProgramFolder.h"
#include "support/TestPaths.h"

#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <vector>

namespace fs = std::filesystem;

std::string TTempProgramFolder::BuiltDatabase() {
  return TestDatabaseTemplate();
}

TTempProgramFolder::TTempProgramFolder(bool WithDatabase) {
  std::string pattern = (fs::temp_directory_path() / "fw-program-XXXXXX").string();
  std::vector<char> buf(pattern.begin(), pattern.end());
  buf.push_back('\0');
  if (!::mkdtemp(buf.data())) throw std::runtime_error("cannot create a temporary program folder");
  path_ = std::string(buf.data()) + "/";
  if (!WithDatabase) return;
  try {
    const std::string built = BuiltDatabase();
    if (!fs::exists(built)) throw std::runtime_error("the build's database is missing: " + built);
    fs::copy_file(built, Database());
    fs::permissions(Database(), fs::perms::owner_read | fs::perms::owner_write);
  } catch (...) {
    std::error_code ec;
    fs::remove_all(path_, ec);  // no destructor runs for a half-made folder
    throw;
  }
}

TTempProgramFolder::~TTempProgramFolder() {
  std::error_code ec;
  // Read-only leftovers of a test must not keep the folder alive.
  for (auto it = fs::recursive_directory_iterator(path_, ec); !ec && it != fs::recursive_directory_iterator();
       it.increment(ec))
    if (it->is_directory(ec)) fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ec);
  fs::permissions(path_, fs::perms::owner_all, fs::perm_options::add, ec);
  fs::remove_all(path_, ec);
}
