// Block reception, group assembly, statistics and the change queue.
#include <set>

#include "RDSCollectorFixture.h"
#include "receiver/DeviceProtocol.h"

namespace {

// Groups that carry their own index in block C, so every decoded group can
// be told apart.
std::vector<TRdsGroupLine> Numbered(const TRdsEncoder& enc, int n) {
  std::vector<TRdsGroupLine> g;
  for (int i = 0; i < n; ++i) g.push_back(enc.Group(5, false, 0, static_cast<uint16_t>(i), 0x5555));
  return g;
}

}  // namespace

using RDSCollectorBlocks = RDSCollectorFixture;

TEST_F(RDSCollectorBlocks, CleanStreamCompletesEachGroupAtTheNextA) {
  Feed(Numbered(enc, 5));
  // The fifth group waits for its successor's A.
  EXPECT_EQ(DecodedC(), (std::vector<uint16_t>{0, 1, 2, 3}));
  const auto groups = Of(dcGroup);
  ASSERT_FALSE(groups.empty());
  // The first group is decoded with its own A word, not the A that completed it.
  EXPECT_EQ(groups[0].Texts[1], std::to_string(enc.PI));
  EXPECT_EQ((std::vector<double>{double(dec.Stats.GroupsTotal), double(dec.Stats.BlocksTotal),
                                 double(dec.Stats.GroupCount[5]), dec.Stats.BER}),
            (std::vector<double>{4, 20, 4, 0}));
}

TEST_F(RDSCollectorBlocks, CorrectedBlockStillBreaksTheChainAndCountsInTheBER) {
  std::vector<std::vector<uint8_t>> packets;
  channel.SetBlockError(2, 1);  // block C of the first group, two bits corrected
  channel.Add(Numbered(enc, 3), packets);
  FeedPackets(packets);
  // Group 0 is lost (its C is not used) and so is group 1 (its A no longer chains).
  EXPECT_TRUE(DecodedC().empty());
  EXPECT_EQ((std::vector<uint64_t>{dec.Stats.ErrorBlocks[1], dec.Stats.ErrorBlocks[2], uint64_t(dec.Stats.BERSum)}),
            (std::vector<uint64_t>{1, 0, 2}));
  // The last block, a clean D after a clean C, keeps its own id.
  EXPECT_EQ(dec.LastBlockId, proto::biD);
}

TEST_F(RDSCollectorBlocks, CPrimeAfterBIsTheThirdBlock) {
  // C' after B is stored as the third block and, in a version-B group, taken as PI.
  const TRdsGroupLine g0b = enc.Group(0, true, 0, 0, 0x4142);
  TRdsGroupLine withOtherPI = g0b;
  withOtherPI.Block[2] = 0x7777;
  Feed({withOtherPI, enc.Group(5, false, 0, 1, 2)});
  ASSERT_EQ(Count(dcGroup), 1u);
  EXPECT_EQ(Of(dcGroup)[0].Texts[3], "30583");  // 0x7777
  EXPECT_EQ(dec.LastPI, 0x7777) << "C' of a version-B group is the PI";
}

// Which groups a faulty stream still yields: a group is only built from the
// blocks of one sent group, and an unusable block costs the groups its
// position predicts.
TEST_F(RDSCollectorBlocks, StreamFaultsCostTheGroupsTheChainRulesPredict) {
  // Numbered groups 0..9 but those lost; the last waits for an A.
  auto allBut = [](std::set<int> lost) {
    std::vector<uint16_t> v;
    for (int i = 0; i < 9; ++i)
      if (!lost.count(i)) v.push_back(static_cast<uint16_t>(i));
    return v;
  };
  struct Case {
    std::vector<TRdsGroupLine> groups;
    std::set<size_t> errored, neverSent, lostInTransport;  // block numbers
    std::vector<uint16_t> decodedC;
  };
  const auto ten = Numbered(enc, 10);
  const Case cases[] = {
      // Group 1's D and group 2's B lost: group 2's D must not complete group 1.
      {ParseGroupText("C3A1 1540 3009 621E\nC3A1 1540 3009 ----\nC3A1 ---- 268A 4C20\n"
                      "C3A1 0548 E401 4B45\nC3A1 0548 E401 4B45\n"),
       {}, {}, {}, {0x3009, 0xE401}},
      // An errored block of group 3 (blocks 12 A, 13 B, 14 C, 15 D). A: its
      // own group and the held one before it; B: its own only; C and D: its
      // own and the next (whose A no longer chains or follows an error).
      {ten, {12}, {}, {}, allBut({2, 3})},
      {ten, {13}, {}, {}, allBut({3})},
      {ten, {14}, {}, {}, allBut({3, 4})},
      {ten, {15}, {}, {}, allBut({3, 4})},
      // A, B and C: the next valid block is the next A, which still completes
      // the group held before the burst.
      {ten, {12, 13, 14}, {}, {}, allBut({3})},
      {ten, {15, 16}, {}, {}, allBut({3, 4})},
      // Group 2's C never sent: D reports B before it; the next A starts afresh.
      {ten, {}, {10}, {}, allBut({2})},
      // Two A blocks in a row: the second begins a new group.
      {ten, {}, {5, 6, 7}, {}, allBut({1})},
      // Four packets lost in transport: group 3's D reports a C of other data.
      {ten, {}, {}, {11, 12, 13, 14}, allBut({2, 3})},
  };
  for (const Case& c : cases) {
    TRdsBlockChannel ch;
    ch.SetStamp(true);
    for (size_t b : c.errored) ch.SetBlockError(b, 3);
    for (size_t b : c.neverSent) ch.DropBlock(b);
    std::vector<std::vector<uint8_t>> packets;
    ch.Add(c.groups, packets);
    dec.Reset();
    Clear();
    for (size_t i = 0; i < packets.size(); ++i)
      if (!c.lostInTransport.count(i)) FeedPackets({packets[i]});
    EXPECT_EQ(DecodedC(), c.decodedC) << FormatGroupLine(c.groups[0]) << " errored " << c.errored.size()
                                      << " from " << (c.errored.empty() ? 0 : *c.errored.begin());
  }
}

TEST_F(RDSCollectorBlocks, BERIsComputedOverWindowsOf45Blocks) {
  for (int i = 0; i < 44; ++i) FeedBlock(2, 3, 0, 1, 0);
  EXPECT_EQ(dec.Stats.BER, 0.0) << "not updated before the 45th block";
  EXPECT_EQ(dec.Stats.BERCount, 44u);
  FeedBlock(2, 3, 0, 1, 0);
  EXPECT_DOUBLE_EQ(dec.Stats.BER, 0.5);
  EXPECT_EQ((std::pair<uint64_t, uint64_t>(uint64_t(dec.Stats.BERSum), dec.Stats.ErrorBlocks[3])),
            (std::pair<uint64_t, uint64_t>(0, 45)));

  // Resetting the statistics keeps the BER and its window.
  for (int i = 0; i < 10; ++i) FeedBlock(2, 2, 0, 1, 0);
  dec.ResetStatistics();
  EXPECT_EQ((std::vector<double>{double(dec.Stats.BlocksTotal), double(dec.Stats.ErrorBlocks[2]), dec.Stats.BER,
                                 double(dec.Stats.BERCount)}),
            (std::vector<double>{0, 0, 0.5, 10}));
  for (int i = 0; i < 35; ++i) FeedBlock(2, 0, 0, 1, 0);
  EXPECT_DOUBLE_EQ(dec.Stats.BER, 50.0 / 1170.0);
}

TEST_F(RDSCollectorBlocks, PerTypeIntervalsMinimumAndLongRunningSums) {
  const auto g = enc.Group(5, false, 0, 1, 2);
  // Seen once: no interval, minimum still "none".
  Feed({g, g});
  EXPECT_EQ(dec.Stats.Interval[5], 0u);
  EXPECT_EQ(dec.Stats.IntervalMin[5], TRDSStatistics::kNoMinimum);
  // A second group in the same millisecond gives interval 0, which is not a minimum.
  Feed(g);
  EXPECT_EQ((std::vector<uint64_t>{dec.Stats.GroupCount[5], dec.Stats.Interval[5], dec.Stats.IntervalMin[5]}),
            (std::vector<uint64_t>{2, 0, TRDSStatistics::kNoMinimum}));

  clock.Advance(120);
  Feed(g);
  clock.Advance(80);
  Feed(g);
  EXPECT_EQ((std::vector<uint64_t>{dec.Stats.Interval[5], dec.Stats.IntervalMin[5], dec.Stats.IntervalMax[5],
                                   dec.Stats.IntervalSum[5]}),
            (std::vector<uint64_t>{80, 80, 120, 200}));

  // Weeks on one frequency: the sum passes 2^32 ms without wrapping.
  const uint64_t step = 2ull * 86400000;
  for (int i = 0; i < 30; ++i) {
    clock.Advance(static_cast<int64_t>(step));
    Feed(g);
  }
  EXPECT_EQ(dec.Stats.IntervalSum[5], 200u + 30 * step);
  EXPECT_GT(dec.Stats.IntervalSum[5], 0xFFFFFFFFull);

  // A statistics record carries a copy, not a view of the live statistics.
  const TDataChange last = Of(dcStatistics).back();
  EXPECT_EQ(last.Stats.IntervalSum[5], dec.Stats.IntervalSum[5]);
  dec.ResetStatistics();
  EXPECT_EQ((std::vector<uint64_t>{last.Stats.GroupCount[5], dec.Stats.IntervalMin[5], dec.Stats.IntervalSum[5]}),
            (std::vector<uint64_t>{34, TRDSStatistics::kNoMinimum, 0}));
}

TEST_F(RDSCollectorBlocks, QueueOrderWithinBlocksAndGroups) {
  enc.TA = true;
  enc.MS = false;
  enc.DI = 0x8;  // segment 0 bit set
  const auto ps = enc.PS("ABCDEFGH");
  Feed(ps[0]);
  // A: PI; B: TP then PTY; C and D: statistics only.
  const std::vector<std::vector<uint8_t>> firstGroup = {{0, 36}, {1, 2, 36}, {36}, {36}};
  EXPECT_EQ(notes, firstGroup);
  Clear();
  Feed(ps[1]);
  // The completing A (same PI: nothing of its own), then the group's kinds,
  // then statistics and the group record.
  ASSERT_FALSE(notes.empty());
  EXPECT_EQ(notes[0], (std::vector<uint8_t>{3, 4, 5, 6, 36, 35}));

  // A group's statistics record already counts the group, and the next
  // block clears the flag.
  EXPECT_EQ((std::vector<uint64_t>{Of(dcStatistics)[0].Stats.GroupsTotal, Of(dcStatistics)[0].Stats.LastGroup[0].JustReceived,
                                   Of(dcStatistics)[1].Stats.LastGroup[0].JustReceived}),
            (std::vector<uint64_t>{1, 1, 0}));
}

TEST_F(RDSCollectorBlocks, ProcessGroupDecodesWithoutTheBlockLayer) {
  dec.ProcessGroup(0x1234, 0x2800, 0x4142, 0x4344);
  // PI, TP, PTY, the RadioText flag, RadioText A (flag 0) text and segment.
  EXPECT_EQ(notes, (std::vector<std::vector<uint8_t>>{{0, 1, 2, 20, 10, 38, 36, 35}}));
  const TDataChange g = Of(dcGroup)[0];
  EXPECT_EQ(g.Texts[0] + "|" + g.Texts[1], " 2B:1234 2800 4142 4344  |4660");
  EXPECT_EQ((std::pair<int, int>(g.Value, g.Extra)), std::pair(2, 1));
  // The block words are shown with upper-case hex digits.
  dec.ProcessGroup(0xD318, 0x0548, 0x4142, 0x0A4F);
  EXPECT_EQ(Of(dcGroup)[1].Texts[0], " 0A:D318 0548 4142 0A4F  ");
}

TEST_F(RDSCollectorBlocks, DirectCallsStampRecordsAndGroupTimesWithTheirOwnTime) {
  // The block layer driven by hand, as a tool does: ParseBlock, then
  // DecodeGroup when it reports a completed group.
  const auto g = enc.Group(5, false, 0, 1, 2);
  std::vector<std::vector<uint8_t>> packets;
  channel.Add(std::vector<TRdsGroupLine>{g, g, g}, packets);
  std::vector<TDateTime> blockTimes, groupTimes;
  for (const auto& p : packets) {
    clock.Advance(10);
    blockTimes.push_back(clock.Now());
    if (dec.ParseBlock(p.data(), static_cast<int>(p.size()) - 1)) {
      dec.DecodeGroup();
      groupTimes.push_back(clock.Now());
    }
  }
  ASSERT_EQ(groupTimes.size(), 2u);
  ASSERT_EQ(Of(dcGroup).size(), 2u);
  // The PI record has the time of the first A block.
  EXPECT_EQ((std::vector<TDateTime>{Of(dcGroup)[1].Time, Of(dcPI)[0].Time, dec.Stats.LastTime[5]}),
            (std::vector<TDateTime>{groupTimes[1], blockTimes[0], groupTimes[1]}));
  EXPECT_EQ(dec.Stats.Interval[5], 40u);

  // A change added from outside carries the time it was added.
  clock.Advance(500);
  dec.AddChange(dcStatistics);
  EXPECT_EQ(dec.Changes.back().Time, clock.Now());
}

TEST_F(RDSCollectorBlocks, InactiveDecoderIgnoresPacketsAndShortPacketsAreRefused) {
  dec.SetActive(false);
  Feed(enc.PS("IGNORED "));
  EXPECT_EQ(recs.size() + dec.Stats.BlocksTotal, 0u);
  dec.SetActive(true);
  // Seven device bytes are the least a block needs; the stamp does not count.
  uint8_t shortPacket[14] = {1, 0x00, 0x60, 0x62, 0x04, 0, 0};
  dec.ComData(shortPacket, 13);
  uint8_t otherType[20] = {2};
  dec.ComData(otherType, 19);
  EXPECT_TRUE(recs.empty());
  uint8_t fit[15] = {1, 0x00, 0x60, 0x62, 0x04, 0, 0};
  dec.ComData(fit, 14);
  EXPECT_EQ(Count(dcPI), 1u);
}

TEST_F(RDSCollectorBlocks, ListenersToggleAndAnUnheardQueueStaysBounded) {
  // Registering the same listener again unregisters it; the queue is then
  // kept for a later listener...
  dec.RegisterDataChangeListener(Listener());
  Feed(Numbered(enc, 3));
  EXPECT_TRUE(recs.empty());
  // Statistics of twelve blocks, PI, TP and PTY, and two groups (TDC and
  // group record each).
  EXPECT_EQ(dec.Changes.size(), 12u + 3u + 2u * 2u);
  // ...but not for ever: of the tens of thousands of records queued by
  // 20,000 blocks it holds and has allocated a few hundred at most.
  Feed(Numbered(enc, 5000));
  EXPECT_LE(dec.Changes.Capacity(), 512u);
  // The newest records are the ones kept.
  std::string lastGroup;
  for (const TDataChange& c : dec.Changes)
    if (c.Kind == dcGroup) lastGroup = c.Texts[3];
  EXPECT_EQ(lastGroup, "4998");

  // A third registration appends a new entry: it sees the kept records once.
  dec.RegisterDataChangeListener(Listener());
  const size_t kept = dec.Changes.size();
  Feed(enc.Group(5, false, 0, 7, 7));
  ASSERT_EQ(notes.size(), 4u);
  // The A completes the pending group: TDC, statistics, group record.
  EXPECT_EQ(notes[0].size(), kept + 3);
  EXPECT_EQ(notes[1].size(), 1u);
}

TEST_F(RDSCollectorBlocks, ModeChangeQueuesItsKindAloneAndSameModeDoesNothing) {
  dec.SetRBDSMode(0);
  EXPECT_TRUE(recs.empty());
  // Leave some changes pending: with the listener unregistered they are kept.
  dec.RegisterDataChangeListener(Listener());
  Feed(enc.PS("PENDING "));
  EXPECT_FALSE(dec.Changes.empty());
  dec.RegisterDataChangeListener(Listener());
  dec.SetRBDSMode(1);
  ASSERT_EQ(notes.size(), 1u);
  EXPECT_EQ(notes[0], (std::vector<uint8_t>{dcMode}));
  EXPECT_EQ(std::to_string(recs[0].Value) + recs[0].Texts[0], "1CALL");
  EXPECT_EQ(dec.LastPI, TRDSCollector::kUnknown) << "the mode change resets the decoder";
  dec.SetRBDSMode(0);
  EXPECT_EQ(recs.back().Texts[0], "PI");
}

TEST(RdsGroupFile, ParsesLinesAndRefusesBadOnes) {
  const auto groups = ParseGroupText(
      "# comment\r\n\n  6204 0130 966B 594C\r\n6204 ---- 5a6e 5243 anything after\n6204 0800 6204 4142\n");
  ASSERT_EQ(groups.size(), 3u);
  EXPECT_EQ(FormatGroupLine(groups[0]) + "|" + FormatGroupLine(groups[1]), "6204 0130 966B 594C|6204 ---- 5A6E 5243");
  EXPECT_TRUE(groups[1].Lost[1]);
  try {
    ParseGroupText("6204 0130 966B 594C\n6204 0130 966B\n");
    FAIL() << "a short line must be refused";
  } catch (const std::runtime_error& e) {
    EXPECT_NE(std::string(e.what()).find("line 2"), std::string::npos) << e.what();
  }
  EXPECT_THROW(ParseGroupText("6204 01300 966B 594C\n"), std::runtime_error);
  EXPECT_THROW(ParseGroupText("6204 01G0 966B 594C\n"), std::runtime_error);
}
