#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "ui/RemoteObject.h"

namespace {

// The pieces of a text that ends each piece with `end` ("a=1&b=2&"); a
// missing last end is a failure of the test.
std::vector<std::string> Pieces(const std::string& text, char end) {
  std::vector<std::string> pieces;
  if (text.empty()) return pieces;
  EXPECT_EQ(text.back(), end) << text;
  size_t start = 0;
  for (size_t at = text.find(end); at != std::string::npos; at = text.find(end, start)) {
    pieces.push_back(text.substr(start, at - start));
    start = at + 1;
  }
  return pieces;
}

// Steps on one table, each followed by a collection and what it returned:
// only real changes go out; ClearAfterSend is taken over even for an unchanged
// value; appending makes a clear-after-send list; collecting without Reset
// sends the changed variables again (a list emptied by the first one).
TEST(RemoteObject, ChangesAreCollectedOnceAndListsEmptied) {
  TRemoteObject table;
  const auto Set = [&](const char* name, const char* value, bool clear = false) {
    return [=, &table] { table.SetVar(name, value, clear); };
  };
  const auto Append = [&](const char* name, const char* value) {
    return [=, &table] { table.AppendVar(name, value); };
  };
  const struct {
    std::vector<std::function<void()>> Steps;
    bool Reset;
    const char* Changes;
  } steps[] = {
      {{Set("PS", "ABC"), Set("PS", "ABC")}, true, "PS=ABC&"},
      {{}, true, ""},
      {{Set("PS", "ABC")}, true, ""},
      {{Set("ps", "x"), Set("PS", "XYZ")}, true, "PS=XYZ&ps=x&"},  // names are case-sensitive
      {{Set("PS", "XYZ", true)}, true, ""},
      {{Set("PS", "NEW", true)}, true, "PS=NEW&"},
      {{Set("PS", "NEW", true)}, true, "PS=NEW&"},  // emptied after it was sent
      {{Set("RTA", "a=b&c")}, true, "RTA=a=b&c&"},  // no escaping
      {{Append("SCAN", "9850:5"), Append("SCAN", "9860:7")}, true, "SCAN=9850:5!9860:7&"},
      {{}, true, ""},
      {{Append("SCAN", "9870:6")}, true, "SCAN=!9870:6&"},
      {{Set("FREQ", "985"), Append("FREQ", "986")}, true, "FREQ=985!986&"},
      {{Set("LVL", "41.0"), Append("SCAN", "9860:7")}, false, "SCAN=!9860:7&LVL=41.0&"},
      {{}, false, "SCAN=&LVL=41.0&"},
      {{}, true, "SCAN=&LVL=41.0&"},
      {{}, true, ""},
  };
  for (size_t i = 0; i < std::size(steps); ++i) {
    for (const auto& Step : steps[i].Steps) Step();
    EXPECT_EQ(table.GetChanges(steps[i].Reset), steps[i].Changes) << "step " << i;
  }
  EXPECT_TRUE(table.Vars()[table.IndexOf("FREQ")].Value.empty());
  table.Clear();
  EXPECT_EQ(table.IndexOf("FREQ"), -1);
  EXPECT_EQ(table.GetChanges(true), "");
  table.SetVar("LVL", "41.0", false);
  EXPECT_EQ(table.IndexOf("LVL"), 0);
  EXPECT_EQ(table.GetChanges(true), "LVL=41.0&");
}

TEST(RemoteObject, ProducersAndCollectorOnDifferentThreads) {
  TRemoteObject table;
  constexpr int kItems = 20000;
  std::atomic<bool> done{false};
  std::thread appender([&] {
    for (int i = 0; i < kItems; ++i) table.AppendVar("SCAN", std::to_string(i));
  });
  std::thread setter([&] {
    for (int i = 0; i < kItems; ++i) table.SetVar("LVL", std::to_string(i), false);
  });
  // Other producers come and go; they must not disturb SCAN and LVL.
  std::thread other([&] {
    for (int i = 0; i < 2000; ++i) table.SetVar("TMP" + std::to_string(i % 7), "x", false);
  });

  std::vector<int> scanned;
  int lastLevel = -1;
  auto collect = [&] {
    for (const std::string& item : Pieces(table.GetChanges(true), '&')) {
      const size_t eq = item.find('=');
      ASSERT_NE(eq, std::string::npos) << item;
      const std::string name = item.substr(0, eq), value = item.substr(eq + 1);
      if (name == "SCAN") {
        for (const std::string& part : Pieces(value + "!", '!'))
          if (!part.empty()) scanned.push_back(std::stoi(part));
      } else if (name == "LVL") {
        const int level = std::stoi(value);
        EXPECT_GT(level, lastLevel);
        lastLevel = level;
      }
    }
  };
  std::thread collector([&] {
    while (!done) collect();
  });
  appender.join();
  setter.join();
  other.join();
  done = true;
  collector.join();
  collect();

  // Every appended item arrives exactly once and in order; the last level is seen.
  ASSERT_EQ(scanned.size(), static_cast<size_t>(kItems));
  for (int i = 0; i < kItems; ++i) ASSERT_EQ(scanned[static_cast<size_t>(i)], i);
  EXPECT_EQ(lastLevel, kItems - 1);
}

}  // namespace
