// Alternative-frequency list collection: validation, method A and B, texts.
#include <gtest/gtest.h>

#include <random>

#include "receiver/AF_Collector.h"

namespace {

using Lines = std::vector<std::string>;

void Add(TAFCollector& c, std::vector<uint8_t> raw) {
  c.AddList(raw);
  c.BuildLines();
}

}  // namespace

TEST(AFCollectorTest, MethodAListWithFiller) {
  TAFCollector c;
  Add(c, {226, 90, 110, 205});
  EXPECT_EQ((std::vector<int>{c.Announced, c.FirstCode, c.PairCount, c.Method, c.Count}),
            (std::vector<int>{2, 90, 2, 'A', 2}));
  EXPECT_EQ(c.LastList, (std::vector<uint16_t>{0xE25A, 0x6ECD}));
  EXPECT_EQ(c.Lines, (Lines{"96.5", "98.5"}));
  EXPECT_EQ(c.SummaryText() + "|" + c.ListText() + "|" + c.LastListPairsText(),
            "2A 96.5\r\n98.5\r\n|A\x5A\x6E\xCD|96.5\r\n98.5 - Filler\r\n");

  // The same list handed over again is stored once.
  Add(c, {226, 90, 110, 205});
  EXPECT_EQ((std::pair<size_t, int>(c.Lists.size(), c.Count)), (std::pair<size_t, int>(1, 2)));
  // The same codes in another order are the same list once sorted.
  Add(c, {227, 90, 120, 205, 110, 205});
  Add(c, {227, 90, 110, 205, 120, 205});
  EXPECT_EQ((std::pair<size_t, int>(c.Lists.size(), c.Count)), (std::pair<size_t, int>(2, 5)));
  EXPECT_EQ(c.Lines, (Lines{"96.5", "98.5", "96.5", "98.5", "99.5"}));
}

TEST(AFCollectorTest, MethodBListsWithSameAndRegionalEntries) {
  TAFCollector c;
  Add(c, {229, 90, 90, 110, 110, 90});
  EXPECT_EQ((std::vector<int>{c.PairCount, c.Method, c.Count}), (std::vector<int>{3, 'B', 5}));
  EXPECT_EQ(c.SummaryText() + "|" + c.LastListPairsText(),
            "5B TN:96.5\r\n98.5 (same)\r\n98.5 (region)\r\n|96.5\r\n96.5 - 98.5\r\n98.5 - 96.5\r\n");

  // A second network list (tuned to 98.5) is added under its own TN line;
  // its pairs arrive unsorted and are rendered in ascending word order.
  Add(c, {229, 110, 130, 110, 110, 90});
  ASSERT_EQ(c.Lists.size(), 2u);
  EXPECT_EQ(c.Count, 10);
  EXPECT_EQ(c.Lines, (Lines{"TN:96.5", "98.5 (same)", "98.5 (region)", "TN:98.5",
                            "96.5 (region)", "100.5 (region)"}));
  EXPECT_EQ(c.ListText(), std::string("B\x6E\x82\x6E\x6E\x5A"));

  // A list that starts with a filler keeps the previous list's tuning code.
  Add(c, {228, 205, 110, 120, 110, 100});
  ASSERT_EQ(c.Lists.size(), 3u);
  EXPECT_EQ(c.FirstCode, 205);
  ASSERT_EQ(c.Lines.size(), 9u);
  EXPECT_EQ((Lines{c.Lines.begin() + 6, c.Lines.end()}), (Lines{"TN:98.5", "97.5 (region)", "99.5 (same)"}));
  EXPECT_EQ(c.Count, 14);
}

TEST(AFCollectorTest, InvalidListsAreNotStored) {
  TAFCollector c;
  // Three frequency codes where two are announced; the same pair twice;
  // fewer codes than announced.
  for (const std::vector<uint8_t>& raw : {std::vector<uint8_t>{226, 90, 110, 110},
                                          {229, 90, 90, 110, 90, 110}, {230, 90, 100, 110}}) {
    Add(c, raw);
    EXPECT_TRUE(c.Lists.empty()) << raw.size();
  }
  EXPECT_EQ(c.Count, -1);
  EXPECT_EQ(c.SummaryText(), "Not Transmitted or Unknown");

  // No valid start: odd length, no count code, too short, empty.
  const std::vector<std::vector<uint8_t>> noStart = {
      {226, 90, 110}, {210, 90, 110, 205}, {250, 90}, {223, 90}, {226}, {}};
  for (const auto& raw : noStart) {
    Add(c, raw);
    EXPECT_EQ((std::vector<size_t>{size_t(c.Announced + 1), size_t(c.PairCount + 1), c.LastList.size()}),
              (std::vector<size_t>{0, 0, 0})) << raw.size();
  }
  c.AddList(nullptr, 4);
  EXPECT_EQ(c.Announced, -1);
  EXPECT_TRUE(c.Lists.empty());

  // A start whose second byte is no AF code leaves FirstCode unknown.
  Add(c, {224, 0});
  EXPECT_EQ((std::pair(c.Announced, c.FirstCode)), (std::pair(0, -1)));
}

TEST(AFCollectorTest, EdgeListsAndReset) {
  TAFCollector c;
  // An empty network (count 0, filler) is a valid list without AFs.
  Add(c, {224, 205});
  ASSERT_EQ(c.Lists.size(), 1u);
  EXPECT_EQ(c.Count, 0);
  EXPECT_TRUE(c.Lines.empty());
  EXPECT_EQ(c.AFText() + "|" + c.SummaryText(), "Not Transmitted or Unknown|Not Transmitted or Unknown");

  // Filler pairs are dropped from the stored list; a single filler byte is kept.
  Add(c, {225, 100, 205, 205});
  ASSERT_EQ(c.Lists.size(), 2u);
  EXPECT_EQ(c.Lists[1], (std::vector<uint16_t>{0xE164}));
  EXPECT_EQ(c.Count, 1);
  EXPECT_EQ(c.Lines, (Lines{"97.5"}));

  // A method B pair with a filler still gets its line: the filler code is
  // the alternative.
  c.Reset();
  Add(c, {226, 90, 90, 205});
  EXPECT_EQ(c.Method, 'B');
  EXPECT_EQ(c.Lines, (Lines{"TN:96.5", "108.0 (same)"}));

  // Reset forgets every list.
  c.Reset();
  EXPECT_TRUE(c.Lists.empty());
  EXPECT_EQ(c.ListText(), " ");
  c.BuildLines();
  EXPECT_EQ(c.Count, -1);
}

TEST(AFCollectorTest, LongAndHostileInput) {
  // A stream without count codes, or with garbage, may hand over very long
  // lists; they are measured, rejected and leave the stored lists alone.
  TAFCollector c;
  Add(c, {226, 90, 110, 205});
  std::vector<uint8_t> huge(200000, 90);
  huge[0] = 249;
  Add(c, huge);
  EXPECT_EQ((std::vector<size_t>{size_t(c.Announced), size_t(c.PairCount), c.Lists.size()}),
            (std::vector<size_t>{25, 100000, 1}));
  EXPECT_EQ(c.Lines, (Lines{"96.5", "98.5"}));

  // Random lists: whatever is stored obeys the rules.
  std::mt19937 rng(1234);
  for (int i = 0; i < 20000; ++i) {
    std::vector<uint8_t> raw(2 + 2 * (rng() % 4));
    for (auto& b : raw) b = static_cast<uint8_t>(rng() % 2 ? 85 + rng() % 8 : rng());
    raw[0] = static_cast<uint8_t>(224 + rng() % 5);
    c.AddList(raw);
  }
  c.BuildLines();
  ASSERT_GT(c.Lists.size(), 1u);
  for (const auto& list : c.Lists) {
    ASSERT_FALSE(list.empty());
    EXPECT_GE(list[0] >> 8, 224);
    for (size_t i = 2; i < list.size(); ++i) EXPECT_LT(list[i - 1], list[i]);
    for (size_t i = 1; i < list.size(); ++i) EXPECT_NE(list[i], 0xCDCD);
  }
  for (size_t i = 1; i < c.Lists.size(); ++i)
    for (size_t j = 0; j < i; ++j) EXPECT_NE(c.Lists[i], c.Lists[j]);
  EXPECT_GE(c.Count, 2);
}

TEST(AFCollectorTest, StoredListsAreBoundedAndTheListsStillSentKeepTheirLines) {
  // A network's eight method B lists, sent in turn, amid new lists made valid
  // by chance: the network's lines stay first, as they were.
  TAFCollector c;
  auto network = [](int i) { return std::vector<uint8_t>{227, uint8_t(1 + i), uint8_t(1 + i), 204}; };
  for (int i = 0; i < 8; ++i) Add(c, network(i));
  const Lines expected = c.Lines;
  for (int n = 0; n < 3000; ++n) {
    Add(c, {226, uint8_t(100 + n % 100), uint8_t(1 + n / 100), 205});
    Add(c, network(n % 8));
    ASSERT_LE(c.Lists.size(), TAFCollector::kMaxLists);
  }
  EXPECT_EQ(Lines(c.Lines.begin(), c.Lines.begin() + expected.size()), expected);
}
