// The named mutex (lock file) and the registered messages between processes
// (the window raised by a second start is MainWindowTest's).
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QLocalSocket>
#include <QTemporaryDir>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <tuple>

#include "MainWindowSupport.h"
#include "ui/SingleInstance.h"

TEST(SingleInstance, MutexIsHeldUntilItsOwnerGoesAndStaleFilesAreTakenOver) {
  QTemporaryDir dir;
  const std::string folder = dir.path().toStdString();
  // A file left behind by a process that is gone holds no lock.
  std::ofstream(folder + "/RZ4410_ONEINSTANCE.lock") << "99999\n";
  auto first = std::make_unique<TNamedMutex>("RZ4410_ONEINSTANCE", folder);
  EXPECT_FALSE(first->AlreadyExists());
  EXPECT_TRUE(first->Valid());
  {
    TNamedMutex second("RZ4410_ONEINSTANCE", folder);
    EXPECT_TRUE(second.AlreadyExists());
    TNamedMutex other("SOMETHING_ELSE", folder);
    EXPECT_FALSE(other.AlreadyExists());
  }
  EXPECT_TRUE(TNamedMutex("RZ4410_ONEINSTANCE", folder).AlreadyExists());
  first.reset();
  TNamedMutex third("RZ4410_ONEINSTANCE", folder);
  EXPECT_FALSE(third.AlreadyExists());

  // A folder that cannot hold the file: no guard, but no false "running".
  TNamedMutex nowhere("RZ4410_ONEINSTANCE", folder + "/missing/folder");
  EXPECT_FALSE(nowhere.AlreadyExists());
  EXPECT_FALSE(nowhere.Valid());
}

TEST(SingleInstance, NamesPlantedByOthersAreNeitherFollowedNorTrusted) {
  QTemporaryDir dir;
  const std::string folder = dir.path().toStdString();
  auto contents = [](const std::string& file) { return (std::stringstream() << std::ifstream(file).rdbuf()).str(); };

  // A link under the lock file's name: the file it points to stays as it was.
  const std::string victim = folder + "/victim.txt";
  std::ofstream(victim) << "precious\n";
  ASSERT_EQ(::symlink(victim.c_str(), (folder + "/RZ4410_ONEINSTANCE.lock").c_str()), 0);
  {
    TNamedMutex linked("RZ4410_ONEINSTANCE", folder);
    EXPECT_FALSE(linked.Valid());
    EXPECT_FALSE(linked.AlreadyExists());
  }
  EXPECT_EQ(contents(victim), "precious\n");

  // A fifo under that name does not stall the start (opening it would wait
  // for a writer).
  ASSERT_EQ(::mkfifo((folder + "/OTHER.lock").c_str(), 0600), 0);
  TNamedMutex fifo("OTHER", folder);
  EXPECT_FALSE(fifo.Valid());

  // The folder for the files: ours and private, or not used.
  const std::string lax = folder + "/lax";
  ASSERT_EQ(::mkdir(lax.c_str(), 0777), 0);
  ::chmod(lax.c_str(), 0777);
  EXPECT_TRUE(MakePrivateFolder(lax));
  struct stat st {};
  ASSERT_EQ(::stat(lax.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0700u);
  EXPECT_TRUE(MakePrivateFolder(folder + "/fresh"));
  EXPECT_TRUE(std::filesystem::is_directory(folder + "/fresh"));
  ASSERT_EQ(::symlink(lax.c_str(), (folder + "/link").c_str()), 0);
  EXPECT_FALSE(MakePrivateFolder(folder + "/link"));
  EXPECT_FALSE(MakePrivateFolder(victim));
  const std::string foreign = folder + "/foreign";
  ASSERT_EQ(::mkdir(foreign.c_str(), 0777), 0);
  if (::geteuid() == 0 && ::chown(foreign.c_str(), 12345, 12345) == 0) {
    EXPECT_FALSE(MakePrivateFolder(foreign));  // someone else's
  }
}

TEST(SingleInstance, MessageLinesAreParsedStrictly) {
  TMessageLine m;
  ASSERT_TRUE(ParseMessageLine("RZ4410_REMOTEMESSAGE 1 -3", m));
  EXPECT_EQ(std::tuple(m.Name, m.WParam, m.LParam), std::tuple("RZ4410_REMOTEMESSAGE", 1, -3));
  ASSERT_TRUE(ParseMessageLine("  A_1\t7   8\r", m));
  EXPECT_EQ(std::tuple(m.Name, m.WParam, m.LParam), std::tuple("A_1", 7, 8));
  EXPECT_EQ(FormatMessageLine("RZ4410_ONEINSTANCE", 0, 0), "RZ4410_ONEINSTANCE 0 0\n");

  for (const char* bad : {"", "RZ4410_ONEINSTANCE", "RZ4410_ONEINSTANCE 0", "RZ4410_ONEINSTANCE 0 0 0",
                          "RZ4410-X 0 0", "RZ 0x10 0", "RZ 1 2a", "RZ - 1", "RZ 99999999999999999999 0",
                          "RZ 1.5 0", "na\xe9me 1 1"})
    EXPECT_FALSE(ParseMessageLine(bad, m)) << bad;

  const uint32_t id = RegisterWindowMessage("RZ4410_ONEINSTANCE");
  EXPECT_GE(id, 0xC000u);
  EXPECT_EQ(RegisterWindowMessage("RZ4410_ONEINSTANCE"), id);
  EXPECT_NE(RegisterWindowMessage("RZ4410_REMOTEMESSAGE"), id);
  EXPECT_EQ(RegisteredMessageName(id), "RZ4410_ONEINSTANCE");
  EXPECT_EQ(RegisteredMessageName(0x1234), "");
}

TEST(SingleInstance, BusDeliversRegisteredMessagesAndBroadcastsToPeers) {
  EnsureQApplication();
  QTemporaryDir dir;
  const std::string path = dir.path().toStdString() + "/bus";
  // No running instance: a second start gives up.
  EXPECT_FALSE(TMessageBus::SendToRunning(path, kOneInstanceName, 0, 0, 300));
  std::ofstream(path) << "stale";  // left by a dead process: no stop for the next instance
  TMessageBus bus(path);
  ASSERT_TRUE(bus.Listen());
  const uint32_t one = RegisterWindowMessage(kOneInstanceName);
  const uint32_t res = RegisterWindowMessage(kRemoteResMessageName);

  std::vector<std::tuple<uint32_t, int64_t, int64_t>> got;
  TMessageHook previous = bus.SetHook([&](uint32_t msg, int64_t w, int64_t l) {
    got.emplace_back(msg, w, l);
    return true;
  });
  EXPECT_FALSE(previous);

  // A second start: connects, writes its line, goes.
  EXPECT_TRUE(TMessageBus::SendToRunning(path, kOneInstanceName, 0, 0, 3000));
  // A name this process never registered is not delivered.
  EXPECT_TRUE(TMessageBus::SendToRunning(path, "RZ4410_NOBODY", 5, 5, 3000));
  EXPECT_TRUE(TMessageBus::SendToRunning(path, kOneInstanceName, 2, 9, 3000));
  ASSERT_TRUE(PumpUntil([&] { return got.size() >= 2; }));
  PumpFor(100);
  ASSERT_EQ(got.size(), 2u);
  EXPECT_EQ(got[0], std::make_tuple(one, int64_t(0), int64_t(0)));
  EXPECT_EQ(got[1], std::make_tuple(one, int64_t(2), int64_t(9)));

  // A peer that stays connected receives the broadcasts.
  QLocalSocket peer;
  peer.connectToServer(QString::fromStdString(path));
  ASSERT_TRUE(peer.waitForConnected(3000));
  ASSERT_TRUE(PumpUntil([&] { return bus.PeerCount() == 1; }));
  bus.Broadcast(res, 1, 0);
  bus.Broadcast(0x7777, 1, 0);  // unregistered ids go nowhere
  ASSERT_TRUE(PumpUntil([&] { return peer.canReadLine(); }));
  EXPECT_EQ(peer.readLine().toStdString(), "RZ4410_REMOTERESMESSAGE 1 0\n");

  // A peer that stops reading is dropped before our output to it piles up
  // without bound.
  QLocalSocket deaf;
  deaf.connectToServer(QString::fromStdString(path));
  ASSERT_TRUE(deaf.waitForConnected(3000));
  ASSERT_TRUE(PumpUntil([&] { return bus.PeerCount() == 2; }));
  auto drain = [](QLocalSocket& s) {
    while (s.waitForReadyRead(0)) s.readAll();
    s.readAll();
  };
  for (int i = 0; i < 200000 && bus.PeerCount() == 2; ++i) {
    bus.Broadcast(res, i, 0);
    if (i % 64 == 0) drain(peer);  // the other peer keeps reading
  }
  EXPECT_EQ(bus.PeerCount(), 1);
  drain(peer);

  // A peer that sends a line longer than any message is dropped; the bus goes on.
  peer.write(QByteArray(TMessageBus::kMaxLine * 3, 'X') + "\n");
  peer.flush();
  ASSERT_TRUE(PumpUntil([&] { return bus.PeerCount() == 0; }));
  got.clear();
  EXPECT_TRUE(TMessageBus::SendToRunning(path, kOneInstanceName, 1, 1, 3000));
  ASSERT_TRUE(PumpUntil([&] { return got.size() == 1; }));

  // The hook chain: the replaced hook comes back for restoring.
  TMessageHook mine = bus.SetHook(nullptr);
  EXPECT_TRUE(mine);
  EXPECT_FALSE(bus.Dispatch(one, 0, 0));
}
