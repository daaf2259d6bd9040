#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <sstream>

#include "receiver/shared.h"

TEST(SharedConversions, PllWordRoundTripsEveryChannelOnBothSides) {
  for (int i = 0; i < kChannelCount; ++i) {
    const double f = ChannelIndexToFreq(i);
    EXPECT_EQ(PLLWordToFreq(FreqToPLLWord(true, f), true), f) << "channel " << i;
    EXPECT_EQ(PLLWordToFreq(FreqToPLLWord(false, f), false), f) << "channel " << i;
    EXPECT_EQ(FreqToChannelIndex(f), i);
    EXPECT_EQ(FreqToTenths(f), 870 + i);
  }
  // The words themselves: trunc((Hz + 225000) * 4 / 32768) on the high side.
  // 87.225e6 / 8192 = 10647.6, 86.775e6 / 8192 = 10592.6; nonsense never
  // wraps around the 16-bit word.
  EXPECT_EQ((std::vector<int>{FreqToPLLWord(true, 87.0), FreqToPLLWord(false, 87.0), FreqToPLLWord(true, 108.0),
                              FreqToPLLWord(true, -5.0), FreqToPLLWord(true, std::nan("")), FreqToPLLWord(true, 1e6)}),
            (std::vector<int>{10647, 10592, 13211, 0, 0, 65535}));
  EXPECT_EQ(FreqTextToPLLWord(FormatFreq(98.5), true), FreqToPLLWord(true, 98.5));
  EXPECT_EQ(FreqTextToPLLWord("nonsense", true), FreqToPLLWord(true, 0));
}

TEST(SharedConversions, ClampingIndexesAndText) {
  EXPECT_EQ((std::vector<double>{ClampFreq(86.9), ClampFreq(108.01), ClampFreq(std::nan(""))}),
            (std::vector<double>{87.0, 108.0, 87.0}));
  // 982.5 rounds half to even, 983.5 to 984; tenths are truncated.
  EXPECT_EQ((std::vector<int>{FreqToChannelIndex(120), FreqToChannelIndex(50), FreqToChannelIndex(98.25),
                              FreqToChannelIndex(98.35), FreqToTenths(98.79)}),
            (std::vector<int>{210, 0, 112, 114, 987}));
  EXPECT_EQ(FormatFreq(108.0) + " " + FormatFreq(99.95), "108.0 100.0");
}

TEST(SharedConversions, NormalizeFreqTextWithPointSeparator) {
  ASSERT_EQ(DecimalSeparator(), '.');
  // Letter O dropped: 11.5 is below the band; a comma is no separator here: 985.
  const std::pair<const char*, const char*> cases[] = {
      {"1O1.5", "87.0"},   {"99.95.3", "99.953"},  {".", "87.0"},         {"abc", "87.0"}, {"150", "108.0"},
      {"108.0001", "108.0"}, {" 98,5 MHz", "108.0"}, {"98.5 MHz", "98.5"}, {"87", "87"}};
  for (const auto& [in, out] : cases) EXPECT_EQ(NormalizeFreqText(in), out) << in;
  // Numbers written too long for a double: above the band however long, below it
  // when they are tiny; text without digits is still no number.
  const std::string nines(4000, '9');
  EXPECT_EQ(NormalizeFreqText(nines), "108.0");
  EXPECT_EQ(NormalizeFreqText(nines + ".5"), "108.0");
  EXPECT_EQ(NormalizeFreqText("0." + std::string(400, '0') + "1"), "87.0");
  EXPECT_EQ(FreqTextToPLLWord(nines, true), 65535);
  EXPECT_EQ(FreqTextToPLLWord("x" + nines, true), FreqToPLLWord(true, 0));  // no number
}

TEST(SharedConversions, LevelToDbuVPieces) {
  // The borders between pieces; the pieces themselves are a table.
  EXPECT_GT(LevelToDbuV(1.999), 7.88);
  EXPECT_DOUBLE_EQ(LevelToDbuV(2), 7.9);
  EXPECT_DOUBLE_EQ(LevelToDbuV(15), 60.0);
  // Monotonic over the receiver's range, so averages order like levels.
  double last = -1;
  for (double v = 0; v <= 15; v += 0.01) {
    const double db = LevelToDbuV(v);
    EXPECT_GE(db, last) << v;
    last = db;
  }
}

TEST(SharedConversions, InterpolateTableIncludingDegenerateTables) {
  const std::vector<double> xs = {10, 5, 0};
  const std::vector<double> ys = {100, 50, 20};
  // Above every X: extrapolated along the first segment; below: the last Y.
  EXPECT_EQ((std::vector<double>{InterpolateTable(5, xs, ys), InterpolateTable(7.5, xs, ys),
                                 InterpolateTable(2.5, xs, ys), InterpolateTable(12, xs, ys), InterpolateTable(-1, xs, ys)}),
            (std::vector<double>{50, 75, 35, 120, 20}));
  // Degenerate tables give a defined value instead of reading out of range
  // or dividing by zero.
  // Lengths that differ use the common part.
  EXPECT_EQ((std::vector<double>{InterpolateTable(3, {}, {}), InterpolateTable(3, {4}, {9}),
                                 InterpolateTable(3, {4, 2}, {9}), InterpolateTable(7, {5, 5, 0}, {1, 2, 3}),
                                 InterpolateTable(5, {5, 5}, {1, 2})}),
            (std::vector<double>{0, 9, 9, 1, 1}));
}

TEST(SharedStreams, CompressRoundTripEmptyAndCorruptInput) {
  std::string text;
  for (int i = 0; i < 5000; ++i) text += "RDS group " + std::to_string(i % 17) + "\n";
  std::stringstream src(text), packed;
  src.seekg(1234);  // compression always starts from position 0
  packed << "HDR";  // appended after what Dest already holds
  ASSERT_TRUE(CompressStream(src, packed));
  const std::string packedBytes = packed.str();
  ASSERT_GT(packedBytes.size(), 3u);
  EXPECT_LT(packedBytes.size(), text.size() / 10);
  EXPECT_EQ(packedBytes.substr(0, 3), "HDR");

  std::stringstream in(packedBytes), out;
  in.seekg(3);  // inflates from the current position
  ASSERT_TRUE(DecompressStream(in, out));
  EXPECT_EQ(out.str(), text);
  EXPECT_EQ(out.tellg(), 0);

  // Nothing left to read: nothing written, still a success.
  std::stringstream emptyIn(packedBytes), emptyOut;
  emptyIn.seekg(0, std::ios::end);
  EXPECT_TRUE(DecompressStream(emptyIn, emptyOut));
  EXPECT_EQ(emptyOut.str(), "");

  // Corrupt, truncated and foreign data fail and write nothing.
  std::string corrupt = packedBytes.substr(3);
  corrupt[corrupt.size() / 2] ^= 0x5A;
  corrupt[corrupt.size() / 2 + 1] ^= 0xA5;
  for (const std::string& bad : {corrupt, packedBytes.substr(3, (packedBytes.size() - 3) / 2),
                                 std::string("this is not zlib data at all")}) {
    std::stringstream badIn(bad), badOut;
    EXPECT_FALSE(DecompressStream(badIn, badOut));
    EXPECT_EQ(badOut.str(), "");
  }
}
