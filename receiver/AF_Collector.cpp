#include "receiver/AF_Collector.h"

#include <algorithm>

#include "platform/Format.h"
#include "receiver/RDSshared.h"
#include "receiver/shared.h"

namespace {

constexpr uint16_t kFillerPair = (kAFFiller << 8) | kAFFiller;

std::string FreqText(int code) { return FormatFreq(AFCodeToMHz(code)); }

}  // namespace

TAFCollector::TAFCollector() { Reset(); }

void TAFCollector::Reset() {
  Lists.clear();
  LastSeen.clear();
  Handovers = 0;
  Lines.clear();
  LastList.clear();
  Count = -1;
  Method = 0;
  Announced = -1;
  FirstCode = 0;
  PairCount = 0;
}

void TAFCollector::AddList(const uint8_t* Raw, size_t Len) {
  Announced = -1;
  FirstCode = -1;
  PairCount = -1;
  LastList.clear();
  if (Raw == nullptr || Len < 2 || Len % 2 != 0 || !IsAFCountCode(Raw[0])) return;

  Announced = Raw[0] - 224;
  if (Raw[1] >= 1 && Raw[1] <= kAFFiller) FirstCode = Raw[1];

  LastList.reserve(Len / 2);
  size_t frequencies = 0;
  for (size_t i = 0; i < Len; i += 2) {
    LastList.push_back(static_cast<uint16_t>((Raw[i] << 8) | Raw[i + 1]));
    frequencies += IsAFFrequencyCode(Raw[i]) + IsAFFrequencyCode(Raw[i + 1]);
  }
  PairCount = static_cast<int32_t>(LastList.size());
  if (frequencies != static_cast<size_t>(Announced)) return;

  std::vector<uint16_t> words = LastList;
  std::sort(words.begin() + 1, words.end());
  if (std::adjacent_find(words.begin() + 1, words.end()) != words.end()) return;
  if (std::find(words.begin() + 1, words.end(), words[0]) != words.end()) return;
  words.erase(std::remove(words.begin() + 1, words.end(), kFillerPair), words.end());

  ++Handovers;
  const auto stored = std::find(Lists.begin(), Lists.end(), words);
  if (stored != Lists.end()) {
    LastSeen[stored - Lists.begin()] = Handovers;
    return;
  }
  if (Lists.size() >= kMaxLists) {
    // The others keep their order, so the lines of the lists still sent do
    // not move.
    const auto oldest = std::min_element(LastSeen.begin(), LastSeen.end()) - LastSeen.begin();
    Lists.erase(Lists.begin() + oldest);
    LastSeen.erase(LastSeen.begin() + oldest);
  }
  Lists.push_back(std::move(words));
  LastSeen.push_back(Handovers);
}

void TAFCollector::BuildLines() {
  Count = -1;
  Lines.clear();
  if (Lists.empty()) return;
  Count = 0;

  int tn = -1;  // the tuning code, carried over when a list starts with a filler
  for (const std::vector<uint16_t>& list : Lists) {
    // The codes after the count code, in list order.
    std::vector<int> codes;
    codes.reserve(list.size() * 2);
    codes.push_back(list[0] & 0xFF);
    for (size_t i = 1; i < list.size(); ++i) {
      codes.push_back(list[i] >> 8);
      codes.push_back(list[i] & 0xFF);
    }

    if (codes[0] != kAFFiller) {
      tn = codes[0];
      ++Count;
    }
    bool methodB = false;
    for (size_t i = 1; i < codes.size(); ++i) {
      if (codes[i] == tn) methodB = true;
      if (codes[i] != kAFFiller) ++Count;
    }

    if (!methodB) {
      Method = 'A';
      for (int code : codes)
        if (code != kAFFiller) Lines.push_back(FreqText(code));
      continue;
    }

    Method = 'B';
    Lines.push_back("TN:" + FreqText(tn));
    for (size_t i = 1; i + 1 < codes.size(); i += 2) {
      const int a = codes[i], b = codes[i + 1];
      const int alternative = (a == tn) ? b : a;
      if (b > a)
        Lines.push_back(FreqText(alternative) + " (same)");
      else if (b < a)
        Lines.push_back(FreqText(alternative) + " (region)");
    }
  }
}

char TAFCollector::MethodChar() const { return (Lists.empty() || Method == 0) ? ' ' : Method; }

std::string TAFCollector::LinesText() const {
  std::string s;
  for (const std::string& line : Lines) {
    s += line;
    s += "\r\n";
  }
  return s;
}

std::string TAFCollector::AFText() const {
  if (Count < 1) return kAFNotTransmitted;
  return LinesText();
}

std::string TAFCollector::SummaryText() const {
  if (Count < 1) return kAFNotTransmitted;
  return std::to_string(Count) + MethodChar() + ' ' + LinesText();
}

std::string TAFCollector::ListText() const {
  std::string s(1, MethodChar());
  if (LastList.empty()) return s;
  s += static_cast<char>(LastList[0] & 0xFF);
  for (size_t i = 1; i < LastList.size(); ++i) {
    s += static_cast<char>(LastList[i] >> 8);
    s += static_cast<char>(LastList[i] & 0xFF);
  }
  return s;
}

std::string TAFCollector::LastListPairsText() const {
  std::string s;
  if (LastList.empty()) return s;
  s += AFCodeText(LastList[0] & 0xFF);
  s += "\r\n";
  for (size_t i = 1; i < LastList.size(); ++i) {
    s += AFCodeText(LastList[i] >> 8);
    s += " - ";
    s += AFCodeText(LastList[i] & 0xFF);
    s += "\r\n";
  }
  return s;
}
