#include "platform/PrivateFolder.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>

bool MakePrivateFolder(const std::string& dir) {
  if (dir.empty()) return false;
  ::mkdir(dir.c_str(), 0700);
  struct stat st {};
  if (::lstat(dir.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != ::geteuid()) return false;
  return (st.st_mode & 077) == 0 || ::chmod(dir.c_str(), 0700) == 0;
}

std::string RuntimeFolder() {
  if (const char* xdg = std::getenv("XDG_RUNTIME_DIR"); xdg && *xdg) {
    struct stat st {};
    if (stat(xdg, &st) == 0 && S_ISDIR(st.st_mode)) return xdg;
  }
  const std::string shared = "/tmp/fenwisk-" + std::to_string(::getuid());
  if (MakePrivateFolder(shared)) return shared;
  // Someone else holds that name: the files go to the home folder instead.
  if (const passwd* pw = ::getpwuid(::geteuid()); pw && pw->pw_dir && *pw->pw_dir) {
    const std::string home = std::string(pw->pw_dir) + "/.fenwisk";
    if (MakePrivateFolder(home)) return home;
  }
  return shared;  // whoever uses it then refuses anything that is not ours
}
