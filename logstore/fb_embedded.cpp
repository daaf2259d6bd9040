#include "logstore/fb_embedded.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <mutex>
#include <vector>

#include "platform/PrivateFolder.h"

#ifndef FW_FIREBIRD_ROOT
#define FW_FIREBIRD_ROOT "/usr/lib/x86_64-linux-gnu/firebird/3.0"
#endif

namespace fs = std::filesystem;

namespace {

const char* const kFirebirdConf =
    "# Engine settings of the program's own log database.\n"
    "# Only the in-process engine: the program never talks to a server.\n"
    "Providers = Engine12\n";

const char* const kDatabasesConf =
    "# No aliases: the program opens its database by its full path.\n";

struct TEngineFile {
  const char* Target;  // relative to the program folder
  const char* Source;  // relative to the system's engine folder, or nullptr
  const char* Text;    // content when there is no source file
};

const TEngineFile kEngineFiles[] = {
    {"firebird.conf", nullptr, kFirebirdConf},
    {"databases.conf", nullptr, kDatabasesConf},
    {"udf/fbudf.so", "UDF/fbudf.so", nullptr},
    {"udf/ib_udf.so", "UDF/ib_udf.so", nullptr},
    {"intl/libfbintl.so", "intl/libfbintl.so", nullptr},
};

std::string WithSeparator(std::string folder) {
  if (folder.empty() || folder.back() != '/') folder += '/';
  return folder;
}

void MakeFolder(const std::string& path, TCreatedEngineFiles* created) {
  std::error_code ec;
  if (fs::is_directory(path, ec)) return;
  // One level only: the program folder itself must exist.
  if (::mkdir(path.c_str(), 0755) != 0) throw std::runtime_error("Cannot create folder");
  if (created) created->push_back(path);
}

std::string ReadWhole(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + path);
  std::string data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (in.bad()) throw std::runtime_error("cannot read " + path);
  return data;
}

// Writes beside the target and renames over it, so a module that a running
// engine has mapped is replaced, never overwritten in place.
void WriteFile(const std::string& path, const std::string& data) {
  const std::string temp = path + ".new";
  {
    std::ofstream out(temp, std::ios::binary | std::ios::trunc);
    if (!out) throw std::runtime_error("cannot create " + path);
    out.write(data.data(), static_cast<std::streamsize>(data.size()));
    out.close();  // a write error may show only when the file is closed
    if (!out) {
      ::unlink(temp.c_str());
      throw std::runtime_error("cannot write " + path);
    }
  }
  if (::rename(temp.c_str(), path.c_str()) != 0) {
    ::unlink(temp.c_str());
    throw std::runtime_error("cannot create " + path);
  }
}

}  // namespace

std::string ProgramFolder() {
  std::error_code ec;
  const fs::path exe = fs::read_symlink("/proc/self/exe", ec);
  if (ec) return WithSeparator(fs::current_path().string());
  return WithSeparator(exe.parent_path().string());
}

std::string EngineLockFolder() {
  // No fixed name in the shared temporary folder: whoever made it first
  // would own the engine's locks or keep the program from starting.
  const std::string own = RuntimeFolder() + "/firebird";
  if (MakePrivateFolder(own)) return own;
  // Someone holds that name: a fresh folder nobody else can have made, one
  // for the life of the process (the engine keeps the first it was given).
  static std::mutex mutex;
  static std::string fresh;
  const std::lock_guard<std::mutex> lock(mutex);
  if (fresh.empty() || !MakePrivateFolder(fresh)) {
    std::error_code ec;
    fs::path base = fs::temp_directory_path(ec);
    if (ec) base = "/tmp";
    std::string pattern = (base / "fenwisk-firebird-XXXXXX").string();
    fresh = ::mkdtemp(pattern.data()) ? pattern : std::string();
  }
  return fresh;
}

bool DeployEmbeddedDatabase(const std::string& programFolder, TCreatedEngineFiles* Created) {
  try {
    const std::string folder = WithSeparator(programFolder);
    MakeFolder(folder + "udf", Created);
    MakeFolder(folder + "intl", Created);
    const std::string system = WithSeparator(FW_FIREBIRD_ROOT);
    for (const TEngineFile& f : kEngineFiles) {
      const std::string target = folder + f.Target;
      std::error_code ec;
      const bool existed = fs::exists(fs::symlink_status(target, ec));
      WriteFile(target, f.Source ? ReadWhole(system + f.Source) : std::string(f.Text));
      if (Created && !existed) Created->push_back(target);
    }
    const std::string lock = EngineLockFolder();
    if (lock.empty()) throw std::runtime_error("Cannot create folder");
    std::string root = folder;
    if (root.size() > 1) root.pop_back();
    ::setenv("FIREBIRD", root.c_str(), 1);
    ::setenv("FIREBIRD_LOCK", lock.c_str(), 1);
    ::setenv("FIREBIRD_TMP", lock.c_str(), 1);
    return true;
  } catch (...) {
    return false;
  }
}

bool DeployEmbeddedDatabase() { return DeployEmbeddedDatabase(ProgramFolder()); }

bool RemoveEmbeddedDatabase(const std::string& programFolder) {
  const std::string folder = WithSeparator(programFolder);
  for (const TEngineFile& f : kEngineFiles) ::unlink((folder + f.Target).c_str());
  ::rmdir((folder + "udf").c_str());
  ::rmdir((folder + "intl").c_str());
  return true;
}

bool RemoveEmbeddedDatabase() { return RemoveEmbeddedDatabase(ProgramFolder()); }

void RemoveCreatedEngineFiles(const TCreatedEngineFiles& Created) {
  // Files before the folders that hold them: the reverse of their making.
  for (auto it = Created.rbegin(); it != Created.rend(); ++it)
    if (::unlink(it->c_str()) != 0) ::rmdir(it->c_str());
}

void RequireEmbeddedDatabase(const std::string& programFolder, TCreatedEngineFiles* Created) {
  if (!DeployEmbeddedDatabase(programFolder, Created)) throw std::runtime_error(kFirebirdInitError);
}
