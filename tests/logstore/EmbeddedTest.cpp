// Deployment and removal of the engine files next to the program.
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "LogStoreTestSupport.h"

namespace fs = std::filesystem;

namespace {

std::vector<std::string> Listing(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& e : fs::recursive_directory_iterator(folder))
    names.push_back(fs::relative(e.path(), folder).string());
  std::sort(names.begin(), names.end());
  return names;
}

// Runs Deploy as a user that cannot write the folder. As root, permissions
// do not hold, so the attempt runs in a child process that has given up root.
bool DeployWithoutWriteAccess(const std::string& folder) {
  if (::geteuid() != 0) return DeployEmbeddedDatabase(folder);
  const pid_t pid = ::fork();
  if (pid == 0) {
    if (::setgid(65534) != 0 || ::setuid(65534) != 0) ::_exit(3);
    try {
      RequireEmbeddedDatabase(folder);
      ::_exit(0);
    } catch (const std::runtime_error& e) {
      ::_exit(std::string(e.what()) == kFirebirdInitError ? 1 : 4);
    }
  }
  int status = 0;
  ::waitpid(pid, &status, 0);
  // 3: root could not be given up; 4: the wrong failure message.
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) < 2) << "status " << status;
  return WEXITSTATUS(status) == 0;
}

}  // namespace

TEST(EmbeddedEngine, DeploysRealFilesAndPrivateEnvironmentThenRemovesOnlyThem) {
  TTempProgramFolder folder;
  fs::create_directory(folder.File("udf"));
  fs::create_directory(folder.File("intl"));
  std::ofstream(folder.File("udf/mine.txt")) << "keep";
  // A stale module from an older start is replaced.
  std::ofstream(folder.File("intl/libfbintl.so")) << "broken";
  ASSERT_TRUE(DeployEmbeddedDatabase(folder.Path()));
  ASSERT_TRUE(DeployEmbeddedDatabase(folder.Path()));  // a second start on the same files

  EXPECT_NE(ReadFile(folder.File("firebird.conf")).find("\nProviders = Engine12\n"), std::string::npos);
  // The character set module is a real copy, not a link to the system's.
  const std::string intl = folder.File("intl/libfbintl.so");
  EXPECT_TRUE(!fs::is_symlink(intl) && fs::file_size(intl) > 10000u && !fs::exists(intl + ".new"));
  for (const char* file : {"databases.conf", "udf/fbudf.so", "udf/ib_udf.so"})
    EXPECT_TRUE(fs::is_regular_file(folder.File(file))) << file;

  EXPECT_EQ(std::getenv("FIREBIRD") + std::string("/"), folder.Path());
  EXPECT_STREQ(std::getenv("FIREBIRD_LOCK"), EngineLockFolder().c_str());  // its rights: the test below
  EXPECT_STREQ(std::getenv("FIREBIRD_TMP"), EngineLockFolder().c_str());

  // The engine really works from these files: ISO8859_1 needs the module.
  EXPECT_EQ(TSql(folder.Database()).Int("select count(*) from CONFIG"), 0);

  // A folder holding something else stays; an emptied one goes.
  EXPECT_TRUE(RemoveEmbeddedDatabase(folder.Path()));
  EXPECT_EQ(Listing(folder.Path()), (std::vector<std::string>{"RDSLOG.FDB", "udf", "udf/mine.txt"}));
  // Removing twice is harmless.
  EXPECT_TRUE(RemoveEmbeddedDatabase(folder.Path()));
}

TEST(EmbeddedEngine, FolderThatCannotBeWrittenFailsTheStart) {
  TTempProgramFolder folder(false);
  fs::permissions(folder.Path(), fs::perms::owner_read | fs::perms::owner_exec | fs::perms::group_read |
                                     fs::perms::group_exec | fs::perms::others_read | fs::perms::others_exec);
  EXPECT_FALSE(DeployWithoutWriteAccess(folder.Path()));
  EXPECT_TRUE(Listing(folder.Path()).empty());

  // Folders present, the program folder read-only: no configuration file.
  fs::permissions(folder.Path(), fs::perms::owner_write, fs::perm_options::add);
  fs::create_directory(folder.File("udf"));
  fs::create_directory(folder.File("intl"));
  fs::permissions(folder.Path(), fs::perms::owner_write, fs::perm_options::remove);
  EXPECT_FALSE(DeployWithoutWriteAccess(folder.Path()));

  // A missing program folder: sub-folders are made one level only, never a chain.
  EXPECT_FALSE(DeployEmbeddedDatabase(folder.File("missing/deeper")));
  EXPECT_FALSE(fs::exists(folder.File("missing")));  // its message is the main window test's
}

// A fixed name in a shared folder can be claimed by anyone first: the engine's
// lock folder then goes elsewhere instead of failing the start.
TEST(EmbeddedEngine, LockFolderNameClaimedBySomeoneElseDoesNotBlockTheStart) {
  TTempProgramFolder folder(false), tmp(false);
  ::setenv("TMPDIR", tmp.Path().c_str(), 1);           // where the old fixed name was
  ::setenv("XDG_RUNTIME_DIR", tmp.Path().c_str(), 1);  // where the lock folder goes now
  const std::string oldName = tmp.File("fenwisk-firebird-" + std::to_string(::geteuid()));
  // A link, or a folder of someone else's (only root can make one).
  const std::pair<std::string, bool> claims[] = {{oldName, false}, {oldName, true}, {tmp.File("firebird"), false}};
  for (const auto& [claimed, foreign] : claims) {
    SCOPED_TRACE(claimed);
    fs::remove_all(claimed);
    if (!foreign)
      fs::create_symlink(tmp.File("elsewhere"), claimed);
    else if (::geteuid() != 0 || ::mkdir(claimed.c_str(), 0777) != 0 || ::chown(claimed.c_str(), 65534, 65534) != 0)
      continue;
    EXPECT_TRUE(DeployEmbeddedDatabase(folder.Path()));
    const std::string lock = EngineLockFolder();
    EXPECT_STREQ(std::getenv("FIREBIRD_LOCK"), lock.c_str());
    struct stat st {};
    EXPECT_TRUE(lock != claimed && ::lstat(lock.c_str(), &st) == 0 && S_ISDIR(st.st_mode) &&
                st.st_uid == ::geteuid() && (st.st_mode & 0777) == 0700);
  }
  RemoveEmbeddedDatabase(folder.Path());
  ::unsetenv("XDG_RUNTIME_DIR");
  ::unsetenv("TMPDIR");
}
