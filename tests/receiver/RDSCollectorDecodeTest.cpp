// Group decoding: texts with their confirmation rules, AF lists, clock time,
// slow labelling, EON, group 15 and the data groups, and the change records
// they raise.
#include <algorithm>

#include "RDSCollectorFixture.h"
#include "receiver/shared.h"

class RDSCollectorDecode : public RDSCollectorFixture {
 protected:
  void Process(const TRdsGroupLine& g) { dec.ProcessGroup(g.Block[0], g.Block[1], g.Block[2], g.Block[3]); }
  void Process(const std::vector<TRdsGroupLine>& groups) {
    for (const TRdsGroupLine& g : groups) Process(g);
  }
  // The kinds of every record but statistics and group records.
  std::vector<uint8_t> Kinds() const {
    std::vector<uint8_t> k;
    for (const TDataChange& c : recs)
      if (c.Kind != dcStatistics && c.Kind != dcGroup && c.Kind > dcPTY) k.push_back(c.Kind);
    return k;
  }
};

TEST_F(RDSCollectorDecode, PSIsConfirmedOnlyFromSegmentsInOrder) {
  const auto ps = enc.PS("RADIO 1 ");
  Process(ps);
  ASSERT_EQ(Count(dcPSConfirmed), 1u);
  EXPECT_EQ(Of(dcPSConfirmed)[0].Texts[1] + "|" + dec.GetPSText(), "RADIO 1 |RADIO 1 ");
  // Each segment is reported with its first position and the raw text.
  ASSERT_EQ(Count(dcPSSegment), 4u);
  EXPECT_EQ(Of(dcPSSegment)[1].Value, 2);
  EXPECT_EQ(Of(dcPSSegment)[1].Texts[0], "RADI    ");

  // The same PS again is not confirmed again.
  Process(ps);
  EXPECT_EQ(Count(dcPSConfirmed), 1u);

  // Out of order, a new PS never confirms, though the raw text shows it.
  const auto other = enc.PS("NEWS 24 ");
  for (int i = 0; i < 3; ++i) Process({other[0], other[2], other[1], other[3]});
  EXPECT_EQ(Count(dcPSConfirmed), 1u);
  EXPECT_EQ(dec.GetRawPSText() + "|" + dec.GetPSText(), "NEWS 24 |RADIO 1 ");

  // In order it is confirmed once; a zero byte reads as a blank.
  Process(other);
  EXPECT_EQ(Count(dcPSConfirmed), 2u);
  dec.ProcessGroup(enc.PI, enc.BlockB(0, false, 0), 0xCDCD, 0x4100);
  EXPECT_EQ(Of(dcPSSegment).back().Texts[0], "A WS 24 ");
}

TEST_F(RDSCollectorDecode, RadioTextAIsConfirmedAfterAllSixteenSegmentsInOrder) {
  const std::string text = "The quick brown fox jumps over!!";  // 32 characters, then blanks
  const auto rt = enc.RadioText(text, false);
  for (int s = 0; s < 15; ++s) Process(rt[s]);
  EXPECT_EQ(Count(dcRTAConfirmed), 0u) << "the blank second half must arrive too";
  Process(rt[15]);
  ASSERT_EQ(Count(dcRTAConfirmed), 1u);
  EXPECT_EQ(Of(dcRTAConfirmed)[0].Texts[0], Blanks(text, 64));
  EXPECT_EQ((std::pair<int, int>(Of(dcRTAConfirmed)[0].Value, Of(dcRTAConfirmed)[0].Extra)), std::pair(60, 4));
  // Segment 0 sets the flag once; every segment that changed the raw text
  // reports it, and every segment reports its position; the last segment
  // confirms before it reports.
  std::vector<uint8_t> expected = {dcRTFlag};
  for (int s = 0; s < 15; ++s) expected.insert(expected.end(), {dcRTAText, dcRTASegment});
  expected.insert(expected.end(), {dcRTAConfirmed, dcRTAText, dcRTASegment});
  // Segments 8..15 write blanks over zeros: still a change.
  EXPECT_EQ(Kinds(), expected);

  // Sent again: no raw change, no confirmation, only the segment positions.
  Clear();
  Process(rt);
  EXPECT_EQ((std::vector<size_t>{Count(dcRTAText), Count(dcRTAConfirmed), Count(dcRTASegment)}),
            (std::vector<size_t>{0, 0, 16}));
  EXPECT_EQ(Of(dcRTASegment)[5].Value, 20);

  // A skipped segment restarts the count: a changed text sent with a gap is
  // not confirmed until it comes round again in order.
  Clear();
  const auto rt2 = enc.RadioText("Second text", false);
  for (int s = 0; s < 16; ++s)
    if (s != 7) Process(rt2[s]);
  Process(rt2[7]);
  EXPECT_EQ(Count(dcRTAConfirmed), 0u);
  EXPECT_EQ(dec.GetRTAText(), Blanks("Second text", 64));
  Process(rt2);
  EXPECT_EQ(Count(dcRTAConfirmed), 1u);
}

TEST_F(RDSCollectorDecode, RadioTextBAndVersionB) {
  // Flag 1 writes RadioText B; the flag change itself is reported.
  Process(enc.RadioText("Text B", true));
  EXPECT_EQ(Of(dcRTFlag).at(0).Value, 1);
  EXPECT_EQ((std::vector<size_t>{Count(dcRTFlag), Count(dcRTBConfirmed), Count(dcRTBSegment), Count(dcRTASegment)}),
            (std::vector<size_t>{1, 1, 16, 0}));
  EXPECT_EQ(dec.GetRTBText(), Blanks("Text B", 64));

  // 2B: two characters per segment into a 32-character text; text and
  // segment kinds are queued every time.
  Clear();
  const auto rt = enc.RadioText("Short version B", false, true);
  Process(rt);
  Process(rt);
  EXPECT_EQ(Count(dcRTAText) + Count(dcRTASegment), 64u);
  ASSERT_EQ(Count(dcRTAConfirmed), 1u);
  const TDataChange conf = Of(dcRTAConfirmed)[0];
  EXPECT_EQ((std::pair<int, int>(conf.Value, conf.Extra)), std::pair(30, 2));
  // The raw buffer holds 64 characters; the unused half reads as blanks.
  EXPECT_EQ(conf.Texts[0], Blanks("Short version B", 64));
}

TEST_F(RDSCollectorDecode, ClockTimeIsReportedWhenItChangesAnd4BIsNotClockTime) {
  Process(enc.ClockTime(1982, 9, 6, 14, 30, 2));
  EXPECT_EQ(Kinds(), (std::vector<uint8_t>{dcClockDate, dcClockTime}));
  EXPECT_EQ(dec.MJD, 45218u);
  EXPECT_EQ(Of(dcClockDate)[0].Texts[3] + "|" + Of(dcClockTime)[0].Texts[0], "1982|" + CTText(45218, dec.CTWord));

  // The same time again raises nothing.
  Clear();
  Process(enc.ClockTime(1982, 9, 6, 14, 30, 2));
  EXPECT_TRUE(Kinds().empty());

  // An hour of 16 and more needs the time word's 17th bit: Extra keeps it.
  Process(enc.ClockTime(2026, 1, 2, 23, 59, -3));
  EXPECT_EQ(static_cast<uint32_t>(Of(dcClockTime)[0].Extra), dec.CTWord);
  EXPECT_EQ(Of(dcClockTime)[0].Texts[1], "23");

  // 4B: neither MJD nor time word, and C' is the PI.
  const uint32_t mjd = dec.MJD, word = dec.CTWord;
  Clear();
  TRdsGroupLine g = enc.Group(4, true, 3, 0, 0xFFFF);
  g.Block[2] = 0x1111;
  Process(g);
  EXPECT_EQ((std::vector<uint32_t>{dec.MJD, dec.CTWord, dec.LastPI}), (std::vector<uint32_t>{mjd, word, 0x1111}));
  EXPECT_TRUE(Kinds().empty());
}

TEST_F(RDSCollectorDecode, AFListsAreHandedOverAtTheNextCountCode) {
  // The raw list [226, 90, 90, 110, 110, 90] goes to the collector when the
  // next count code arrives; it announces 2 AFs but holds 5 codes.
  Process(enc.PS("AF TEST ", {0xE25A, 0x5A6E, 0x6E5A, 0xE15A}));
  EXPECT_EQ(dec.AF.LastList, (std::vector<uint16_t>{0xE25A, 0x5A6E, 0x6E5A}));
  ASSERT_EQ(Count(dcAFList), 1u);
  EXPECT_EQ(Of(dcAFList)[0].Texts[1], "3");
  EXPECT_EQ(Count(dcAFCount), 0u) << "a rejected list changes no count";

  // Method A: kind 17 with the pairs, then kind 9 with the collector's lines.
  Clear();
  dec.Reset();
  const uint8_t f1 = TRdsEncoder::AFCode(96.5), f2 = TRdsEncoder::AFCode(98.5), f3 = TRdsEncoder::AFCode(101.1);
  const auto listA = TRdsEncoder::AFMethodA({f1, f2, f3});
  Process(enc.PSWithAF("METHOD A", listA));
  Process(enc.PSWithAF("METHOD A", listA));
  ASSERT_EQ(Count(dcAFCount), 1u);
  const TDataChange count = Of(dcAFCount)[0];
  EXPECT_EQ(count.Value, 3);
  EXPECT_EQ(count.AFLines, (std::vector<std::string>{"96.5", "98.5", "101.1"}));
  EXPECT_EQ(count.Texts[1] + "|" + Of(dcAFList)[0].Texts[2], dec.GetAFListText() + "|96.5\r\n98.5 - 101.1\r\n");
  // 17 comes right before 9 in the group that hands the list over (the
  // first hand-over, of the empty list before the first count code, raised
  // nothing).
  const auto kinds = Kinds();
  const auto at = std::find(kinds.begin(), kinds.end(), dcAFList);
  ASSERT_NE(at, kinds.end());
  EXPECT_EQ(*(at + 1), dcAFCount);
  EXPECT_EQ(Count(dcAFList), 1u);
  // The same list again: handed over, stored once, no count change.
  Process(enc.PSWithAF("METHOD A", listA));
  EXPECT_EQ((std::pair(Count(dcAFList), Count(dcAFCount))), (std::pair<size_t, size_t>(2, 1)));
}

TEST_F(RDSCollectorDecode, RawAFListsStayBoundedWithoutCountCodes) {
  // A stream of frequency pairs and never a count code, for the station and
  // for another network.
  for (int i = 0; i < 5000; ++i) {
    Process(enc.Group(0, false, 0, static_cast<uint16_t>(0x5A00 | (i % 200 + 1)), 0x4141));
    Process(enc.EONAF(0x5555, {static_cast<uint16_t>(0x6400 | (i % 200 + 1))}));
  }
  EXPECT_LE(dec.AFRaw.size(), TRDSCollector::kMaxRawAF);
  EXPECT_LE(dec.EONAFRaw.size(), TRDSCollector::kMaxRawAF);
  EXPECT_EQ(Count(dcAFList), 0u);

  // A count code followed by far too many pairs: the list is handed over
  // with its valid start, rejected, and changes no count.
  dec.Reset();
  std::vector<uint16_t> words = {0xE75A};
  for (int i = 0; i < 100; ++i) words.push_back(static_cast<uint16_t>((i % 200 + 1) << 8 | 205));
  words.push_back(0xE15A);
  Process(enc.PSWithAF("LONG AF ", words));
  EXPECT_EQ((std::pair(Count(dcAFList), Count(dcAFCount))), (std::pair<size_t, size_t>(1, 0)));
  EXPECT_LE(dec.AF.LastList.size(), TRDSCollector::kMaxRawAF / 2);
}

TEST_F(RDSCollectorDecode, PINSlowLabellingAndPTYN) {
  enc.PI = 0xD204;
  const uint16_t pin = TRdsEncoder::PINOf(17, 9, 45);
  Process(enc.SlowLabelling(0, 0x5E0, true, pin));  // operator code 5, ECC E0
  ASSERT_EQ(Count(dcPIN), 1u);
  EXPECT_EQ(Of(dcPIN)[0].Value, pin);
  const TDataChange slc = Of(dcSlowLabelling)[0];
  EXPECT_EQ(slc.Extra, 1);  // the linkage bit
  EXPECT_EQ(slc.Texts[0] + slc.Texts[1], "DE5");

  Process(enc.SlowLabelling(3, 8, false, pin));
  EXPECT_EQ(Count(dcPIN), 1u) << "an unchanged PIN is not reported";
  EXPECT_EQ(Of(dcSlowLabelling)[1].Extra, 0);
  // 1B carries the PIN only.
  Process(enc.PINOnly(TRdsEncoder::PINOf(1, 0, 0)));
  EXPECT_EQ((std::pair(Count(dcPIN), Count(dcSlowLabelling))), (std::pair<size_t, size_t>(2, 2)));

  // PTYN segment 1 fills characters 4..7.
  Process(enc.PTYN("ROCKNEWS", true)[1]);
  EXPECT_EQ(Of(dcPTYN)[0].Value, 1);
  EXPECT_EQ(Of(dcPTYN)[0].Texts[0], "    NEWS");
  Process(enc.PTYN("ROCKNEWS", true)[0]);
  EXPECT_EQ(dec.GetPTYNText(), "ROCKNEWS");
}

TEST_F(RDSCollectorDecode, EnhancedOtherNetworks) {
  const uint16_t on = 0xD3C2;
  Process(enc.EONPS(on, "OTHER FM", true));
  Process(enc.EONPTYTA(on, 10, true));
  Process(enc.EONPIN(on, TRdsEncoder::PINOf(2, 3, 4)));
  Process(enc.EONMappedFrequency(on, 5, 90, 110));
  const auto af = TRdsEncoder::AFMethodA({90, 110});
  Process(enc.EONAF(on, af));
  Process(enc.EONAF(on, af));
  const auto eon = Of(dcEON);
  ASSERT_EQ(eon.size(), 11u);
  const TDataChange& last = eon.back();
  EXPECT_EQ(last.Value, 4);
  // Every group 14 carries TP(ON).
  EXPECT_EQ(last.Texts[0] + "|" + eon[0].Texts[2] + "|" + last.Texts[2] + "|" + last.Texts[3] + last.Texts[4],
            "AF - A|ON|OFF|ONPop Music");
  EXPECT_EQ(last.Texts[7], "AF Total: 2 >> 96.5\r\n98.5\r\n ");
  // Mapped word 1 is the last variant-4 block C; a count code is not shown.
  EXPECT_EQ(last.Texts[8] + "|" + eon[7].Texts[8] + "|" + eon[0].Texts[7], "98.5 + Filler|96.5|");  // no AF list yet

  // 14B: TA and TP of the other network from block B.
  Process(enc.EON14B(0x1234, false, false));
  EXPECT_EQ(Of(dcEON).back().Texts[1] + Of(dcEON).back().Texts[2] + Of(dcEON).back().Texts[3], "1234OFFOFF");
  // EON never touches the station's own PI.
  EXPECT_EQ(dec.LastPI, enc.PI);
}

TEST_F(RDSCollectorDecode, DecoderIdentificationAndGroup15) {
  enc.DI = 0x9;  // segments 0..3 = 1, 0, 0, 1
  const auto ps = enc.PS("DI TEST ");
  Process(ps[0]);
  EXPECT_EQ(Of(dcDI)[0].Texts[1], "??");
  Process({ps[1], ps[2], ps[3]});
  EXPECT_EQ(Of(dcDI).back().Texts[1], "9");
  EXPECT_EQ(Count(dcDI), 4u);
  Process(ps);
  EXPECT_EQ(Count(dcDI), 4u) << "unchanged DI bits are not reported";

  // 15B: TA, MS and a DI bit; 15A: an 8-character text.
  enc.TA = true;
  enc.MS = false;
  Process(enc.Group15B(3));
  const TDataChange g15 = Of(dcGroup15).back();
  EXPECT_EQ(g15.Texts[0] + " " + g15.Texts[4] + " " + g15.Texts[5] + " " + g15.Texts[6], "?? STEREO ON SPEECH");
  Process({enc.Group15B(0), enc.Group15B(1), enc.Group15B(2)});
  EXPECT_EQ(Of(dcGroup15).back().Texts[0], "9");
  Process(enc.Group15A("LONG PS!", false));
  EXPECT_EQ(Of(dcGroup15).back().Texts[7], "LONG PS!");
}

TEST_F(RDSCollectorDecode, DataGroupsAndVersionBPI) {
  struct Case {
    TRdsGroupLine g;
    uint8_t kind;
    std::vector<std::string> texts;
  };
  const Case cases[] = {
      {enc.ODA(0x0B, 0x1234, 0xCD46), dcODA, {"11", "4660", "52550"}},
      {enc.Group(5, false, 0x13, 0x0102, 0x0304), dcTDC, {"19", "0000000001020304"}},
      {enc.Group(5, true, 0x02, 0, 0xBEEF), dcTDC, {"2", "000000000000BEEF"}},
      {enc.Group(6, false, 0x01, 0xABCD, 0xEF01), dcInHouse, {"1", "00000000ABCDEF01"}},
      {enc.Group(7, false, 0x15, 0x1122, 0x3344), dcPaging, {"1", "5", "0000000011223344"}},
      {enc.Group(8, false, 0x08, 0x4000, 0x5000), dcTMC, {"8", "16384", "20480"}},
      {enc.Group(9, false, 0x1F, 0x0001, 0x0002), dcGroup9, {"31", "0000000000010002"}},
      {enc.Group(11, true, 0x04, 0, 0x0042), dcGroup11, {"4", "0000000000000042"}},
      {enc.Group(12, false, 0x00, 0xFFFF, 0xFFFE), dcGroup12, {"0", "00000000FFFFFFFE"}},
      // Enhanced paging: four sub-fields of C and D, and (D & 0x1FF) x 65536 + D.
      {enc.Group(13, false, 0, 0x001D, 0xA5C3), dcEnhancedPaging, {"3", "5", "10", "1", "0000001C3A5C3"}},
  };
  for (const Case& c : cases) {
    Clear();
    Process(c.g);
    ASSERT_EQ(Count(c.kind), 1u) << int(c.kind);
    const TDataChange r = Of(c.kind)[0];
    for (size_t i = 0; i < c.texts.size(); ++i) EXPECT_EQ(r.Texts[i], c.texts[i]) << int(c.kind) << " text " << i;
  }
  // Version B of these types: no payload kinds for 3B, 7B, 8B, 10B, 13B, and
  // C' becomes the PI without a PI change record.
  for (int type : {3, 7, 8, 10, 13}) {
    Clear();
    TRdsGroupLine g = enc.Group(type, true, 0, 0, 0x1234);
    g.Block[2] = static_cast<uint16_t>(0x7000 + type);
    Process(g);
    EXPECT_TRUE(Kinds().empty()) << type;
    EXPECT_EQ(dec.LastPI, 0x7000 + type);
  }
  // ...the next A block then reports the PI it carries.
  Clear();
  Process(enc.Group(5, false, 0, 0, 0));
  EXPECT_EQ(Count(dcPI), 1u);
}

TEST_F(RDSCollectorDecode, ResetForgetsTheStationAndExtRecordReflectsIt) {
  enc.DI = 0x9;
  Process(enc.PSWithAF("EXTREC  ", TRdsEncoder::AFMethodA({90, 110, 120})));
  Process(enc.PSWithAF("EXTREC  ", TRdsEncoder::AFMethodA({90, 110, 120})));
  Process(enc.RadioText("Radio text A", false));
  Process(enc.ClockTime(2026, 3, 4, 5, 6, 0));
  Process(enc.EONAF(0x1111, {0xE35A}));

  TExtRecord rec;
  dec.GetExtRecord(rec);
  EXPECT_EQ((std::vector<int64_t>{rec.PI, rec.PTY, rec.TP, rec.TA, rec.MS, rec.CT, rec.HMS, rec.AFS, rec.DI}),
            (std::vector<int64_t>{enc.PI, enc.PTY, 1, 0, 1, TRdsEncoder::MJDOf(2026, 3, 4), 5 << 12 | 6 << 6, 3, 9}));
  EXPECT_EQ(rec.PS + rec.RTA + rec.AF.substr(0, 2), "EXTREC  " + Blanks("Radio text A", 64) + "A" + char(90));

  dec.Reset();
  dec.GetExtRecord(rec);
  EXPECT_EQ(rec.PI, 0xFFFF);
  EXPECT_EQ((std::vector<int32_t>{rec.AFS, rec.DI, rec.CT}), (std::vector<int32_t>{0, 0, 0}));
  EXPECT_EQ(rec.AF + "|" + rec.PS + "|" + dec.GetPIText(), "|        |----");
  EXPECT_EQ(dec.Stats.GroupsTotal + dec.Changes.size(), 0u);
  // The other network's list in progress survives the reset.
  EXPECT_EQ(dec.EONAFRaw, (std::vector<uint8_t>{0xE3, 0x5A}));
  EXPECT_TRUE(dec.AFRaw.empty());
  // The getters fall back on the current block's values.
  FeedBlock(0, 0, 0xC201, 3, 0);
  dec.LastPI = TRDSCollector::kUnknown;
  EXPECT_EQ(dec.GetPIText(), "C201");
  dec.SetRBDSMode(1);
  dec.PI = 0x1000;
  EXPECT_EQ(dec.GetPIText(), "KAAA");
}
