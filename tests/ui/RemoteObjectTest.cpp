#include <gtest/gtest.h>

#include <atomic>
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

TEST(RemoteObject, SetVarReportsOnlyRealChanges) {
  TRemoteObject table;
  table.SetVar("PS", "ABC", false);
  table.SetVar("PS", "ABC", false);
  EXPECT_EQ(table.GetChanges(true), "PS=ABC&");
  EXPECT_EQ(table.GetChanges(true), "");

  // The same value again is no change, a new one is; names are case-sensitive.
  table.SetVar("PS", "ABC", false);
  EXPECT_EQ(table.GetChanges(true), "");
  table.SetVar("ps", "x", false);
  table.SetVar("PS", "XYZ", false);
  EXPECT_EQ(table.GetChanges(true), "PS=XYZ&ps=x&");

  // ClearAfterSend is taken over even when the value is unchanged, so the next
  // change is emptied after it has been sent.
  table.SetVar("PS", "XYZ", true);
  EXPECT_EQ(table.GetChanges(true), "");
  table.SetVar("PS", "NEW", true);
  EXPECT_EQ(table.GetChanges(true), "PS=NEW&");
  EXPECT_EQ(table.Vars()[0].Value, "");

  // No escaping: separators inside values go out as they are.
  table.SetVar("RTA", "a=b&c", false);
  EXPECT_EQ(table.GetChanges(true), "RTA=a=b&c&");
}

TEST(RemoteObject, AppendVarCollectsListsOnce) {
  TRemoteObject table;
  table.AppendVar("SCAN", "9850:5");
  table.AppendVar("SCAN", "9860:7");
  EXPECT_EQ(table.GetChanges(true), "SCAN=9850:5!9860:7&");
  EXPECT_EQ(table.GetChanges(true), "");
  table.AppendVar("SCAN", "9870:6");
  EXPECT_EQ(table.GetChanges(true), "SCAN=!9870:6&");

  // Appending to a variable that was set turns it into a clear-after-send list.
  table.SetVar("FREQ", "985", false);
  table.GetChanges(true);
  table.AppendVar("FREQ", "986");
  EXPECT_EQ(table.GetChanges(true), "FREQ=985!986&");
  EXPECT_TRUE(table.Vars()[1].Value.empty() && table.Vars()[1].ClearAfterSend);
}

TEST(RemoteObject, CollectingWithoutResetAndClear) {
  TRemoteObject table;
  table.SetVar("FREQ", "985", false);
  table.AppendVar("SCAN", "9850:5");
  table.SetVar("LVL", "40.0", false);
  table.GetChanges(true);
  table.SetVar("LVL", "41.0", false);
  table.AppendVar("SCAN", "9860:7");

  // Without Reset the changed variables come again, but the list was already
  // emptied by the first collection.
  EXPECT_EQ(table.GetChanges(false), "SCAN=!9860:7&LVL=41.0&");
  EXPECT_EQ(table.GetChanges(false), "SCAN=&LVL=41.0&");
  EXPECT_EQ(table.GetChanges(true), "SCAN=&LVL=41.0&");
  EXPECT_EQ(table.GetChanges(true), "");

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
  std::thread clearer([&] {
    // Other producers come and go; they must not disturb SCAN and LVL.
    for (int i = 0; i < 2000; ++i) {
      table.SetVar("TMP" + std::to_string(i % 7), "x", false);
    }
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
  clearer.join();
  done = true;
  collector.join();
  collect();

  // Every appended item arrives exactly once and in order; the last level is seen.
  ASSERT_EQ(scanned.size(), static_cast<size_t>(kItems));
  for (int i = 0; i < kItems; ++i) ASSERT_EQ(scanned[static_cast<size_t>(i)], i);
  EXPECT_EQ(lastLevel, kItems - 1);
}

}  // namespace
