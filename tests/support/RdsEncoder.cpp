#include "support/RdsEncoder.h"

#include <cmath>

namespace {

// The text's bytes padded with blanks (or cut) to n.
std::string Padded(const std::string& text, size_t n) {
  std::string s = text.substr(0, n);
  s.resize(n, ' ');
  return s;
}

uint16_t Word(const std::string& s, size_t at) {
  return static_cast<uint16_t>(static_cast<uint8_t>(s[at]) << 8 | static_cast<uint8_t>(s[at + 1]));
}

}  // namespace

uint16_t TRdsEncoder::BlockB(int type, bool versionB, uint8_t low5) const {
  return static_cast<uint16_t>((type & 15) << 12 | (versionB ? 1 : 0) << 11 | (TP ? 1 : 0) << 10 |
                               (PTY & 31) << 5 | (low5 & 31));
}

TRdsGroupLine TRdsEncoder::Group(int type, bool versionB, uint8_t low5, uint16_t c, uint16_t d) const {
  TRdsGroupLine g;
  g.Block[0] = PI;
  g.Block[1] = BlockB(type, versionB, low5);
  g.Block[2] = versionB ? PI : c;
  g.Block[3] = d;
  return g;
}

void TRdsEncoder::Append(std::vector<TRdsGroupLine>& to, const std::vector<TRdsGroupLine>& groups) {
  to.insert(to.end(), groups.begin(), groups.end());
}

std::vector<TRdsGroupLine> TRdsEncoder::PS(const std::string& ps, const std::vector<uint16_t>& afWords,
                                           bool versionB) const {
  const std::string text = Padded(ps, 8);
  std::vector<TRdsGroupLine> out;
  for (int seg = 0; seg < 4; ++seg) {
    const uint16_t c = afWords.empty() ? 0xCDCD : afWords[seg % afWords.size()];
    const uint8_t low5 = static_cast<uint8_t>((TA ? 1 : 0) << 4 | (MS ? 1 : 0) << 3 |
                                              ((DI >> (3 - seg)) & 1) << 2 | seg);
    out.push_back(Group(0, versionB, low5, c, Word(text, 2 * seg)));
  }
  return out;
}

std::vector<TRdsGroupLine> TRdsEncoder::PSWithAF(const std::string& ps,
                                                 const std::vector<uint16_t>& afWords) const {
  std::vector<TRdsGroupLine> out;
  const size_t n = afWords.empty() ? 4 : (afWords.size() + 3) / 4 * 4;
  for (size_t i = 0; i < n; i += 4) {
    std::vector<uint16_t> words;
    for (size_t k = i; k < i + 4; ++k) words.push_back(k < afWords.size() ? afWords[k] : 0xCDCD);
    Append(out, PS(ps, words));
  }
  return out;
}

uint8_t TRdsEncoder::AFCode(double mhz) { return static_cast<uint8_t>(std::lround(mhz * 10) - 875); }

std::vector<uint16_t> TRdsEncoder::AFMethodA(const std::vector<uint8_t>& codes) {
  std::vector<uint16_t> words;
  if (codes.empty()) return words;
  words.push_back(static_cast<uint16_t>((224 + codes.size()) << 8 | codes[0]));
  for (size_t i = 1; i < codes.size(); i += 2) {
    const uint8_t b = i + 1 < codes.size() ? codes[i + 1] : 205;
    words.push_back(static_cast<uint16_t>(codes[i] << 8 | b));
  }
  return words;
}

std::vector<uint16_t> TRdsEncoder::AFMethodB(uint8_t tuning,
                                             const std::vector<std::pair<uint8_t, bool>>& alts) {
  std::vector<uint16_t> words;
  // The count covers the tuning frequency once for every pair it appears in.
  words.push_back(static_cast<uint16_t>((224 + 1 + 2 * alts.size()) << 8 | tuning));
  for (const auto& [alt, regional] : alts) {
    const uint8_t lo = alt < tuning ? alt : tuning, hi = alt < tuning ? tuning : alt;
    words.push_back(regional ? static_cast<uint16_t>(hi << 8 | lo) : static_cast<uint16_t>(lo << 8 | hi));
  }
  return words;
}

TRdsGroupLine TRdsEncoder::RadioTextSegment(const std::string& text, bool abFlag, int segment,
                                            bool versionB) const {
  const uint8_t low5 = static_cast<uint8_t>((abFlag ? 1 : 0) << 4 | (segment & 15));
  if (versionB) {
    const std::string t = Padded(text, 32);
    return Group(2, true, low5, 0, Word(t, 2 * segment));
  }
  const std::string t = Padded(text, 64);
  return Group(2, false, low5, Word(t, 4 * segment), Word(t, 4 * segment + 2));
}

std::vector<TRdsGroupLine> TRdsEncoder::RadioText(const std::string& text, bool abFlag, bool versionB) const {
  std::vector<TRdsGroupLine> out;
  for (int s = 0; s < 16; ++s) out.push_back(RadioTextSegment(text, abFlag, s, versionB));
  return out;
}

uint32_t TRdsEncoder::MJDOf(int year, int month, int day) {
  // Day 0 of the program's dates (1899-12-30) is MJD 15018.
  return static_cast<uint32_t>(std::lround(dt::EncodeDate(year, month, day)) + 15018);
}

TRdsGroupLine TRdsEncoder::ClockTime(int year, int month, int day, int hour, int minute,
                                     int offsetHalfHours) const {
  const uint32_t mjd = MJDOf(year, month, day);
  const uint32_t sign = offsetHalfHours < 0 ? 1 : 0;
  const uint32_t word = static_cast<uint32_t>(hour) << 12 | static_cast<uint32_t>(minute) << 6 |
                        sign << 5 | static_cast<uint32_t>(std::abs(offsetHalfHours) & 31);
  const uint16_t c = static_cast<uint16_t>((mjd & 0x7FFF) << 1 | (word >> 16));
  return Group(4, false, static_cast<uint8_t>((mjd >> 15) & 3), c, static_cast<uint16_t>(word));
}

uint16_t TRdsEncoder::PINOf(int day, int hour, int minute) {
  return static_cast<uint16_t>(day << 11 | hour << 6 | minute);
}

TRdsGroupLine TRdsEncoder::SlowLabelling(int variant, uint16_t data12, bool la, uint16_t pin) const {
  const uint16_t c = static_cast<uint16_t>((la ? 1 : 0) << 15 | (variant & 7) << 12 | (data12 & 0xFFF));
  return Group(1, false, 0, c, pin);
}

TRdsGroupLine TRdsEncoder::PINOnly(uint16_t pin) const { return Group(1, true, 0, 0, pin); }

std::vector<TRdsGroupLine> TRdsEncoder::PTYN(const std::string& name, bool abFlag) const {
  const std::string t = Padded(name, 8);
  std::vector<TRdsGroupLine> out;
  for (int s = 0; s < 2; ++s)
    out.push_back(Group(10, false, static_cast<uint8_t>((abFlag ? 1 : 0) << 4 | s), Word(t, 4 * s),
                        Word(t, 4 * s + 2)));
  return out;
}

std::vector<TRdsGroupLine> TRdsEncoder::EONPS(uint16_t piON, const std::string& ps, bool tpON) const {
  const std::string t = Padded(ps, 8);
  std::vector<TRdsGroupLine> out;
  for (int v = 0; v < 4; ++v)
    out.push_back(Group(14, false, static_cast<uint8_t>((tpON ? 1 : 0) << 4 | v), Word(t, 2 * v), piON));
  return out;
}

std::vector<TRdsGroupLine> TRdsEncoder::EONAF(uint16_t piON, const std::vector<uint16_t>& afWords) const {
  std::vector<TRdsGroupLine> out;
  for (uint16_t w : afWords) out.push_back(Group(14, false, 4, w, piON));
  return out;
}

TRdsGroupLine TRdsEncoder::EONMappedFrequency(uint16_t piON, int variant, uint8_t tuning,
                                              uint8_t mapped) const {
  return Group(14, false, static_cast<uint8_t>(variant & 15), static_cast<uint16_t>(tuning << 8 | mapped),
               piON);
}

TRdsGroupLine TRdsEncoder::EONPTYTA(uint16_t piON, uint8_t ptyON, bool taON) const {
  return Group(14, false, 13, static_cast<uint16_t>((ptyON & 31) << 11 | (taON ? 1 : 0)), piON);
}

TRdsGroupLine TRdsEncoder::EONPIN(uint16_t piON, uint16_t pinON) const {
  return Group(14, false, 14, pinON, piON);
}

TRdsGroupLine TRdsEncoder::EON14B(uint16_t piON, bool tpON, bool taON) const {
  return Group(14, true, static_cast<uint8_t>((tpON ? 1 : 0) << 4 | (taON ? 1 : 0) << 3), 0, piON);
}

std::vector<TRdsGroupLine> TRdsEncoder::Group15A(const std::string& text, bool abFlag) const {
  const std::string t = Padded(text, 8);
  std::vector<TRdsGroupLine> out;
  for (int s = 0; s < 2; ++s)
    out.push_back(Group(15, false, static_cast<uint8_t>((abFlag ? 1 : 0) << 4 | s), Word(t, 4 * s),
                        Word(t, 4 * s + 2)));
  return out;
}

TRdsGroupLine TRdsEncoder::Group15B(int segment) const {
  const uint8_t low5 = static_cast<uint8_t>((TA ? 1 : 0) << 4 | (MS ? 1 : 0) << 3 |
                                            ((DI >> (3 - (segment & 3))) & 1) << 2 | (segment & 3));
  TRdsGroupLine g = Group(15, true, low5, 0, 0);
  g.Block[3] = g.Block[1];
  return g;
}

TRdsGroupLine TRdsEncoder::ODA(uint8_t appGroup, uint16_t message, uint16_t aid) const {
  return Group(3, false, appGroup, message, aid);
}

std::vector<TRdsGroupLine> TRdsEncoder::StationCycle(const TRdsStationPlan& plan) const {
  std::vector<TRdsGroupLine> out;
  // The AF list twice, so that the second count code hands the first list over.
  std::vector<uint16_t> af = plan.AF;
  af.insert(af.end(), plan.AF.begin(), plan.AF.end());
  Append(out, PSWithAF(plan.PS, af));
  Append(out, RadioText(plan.RadioTextA, false));
  Append(out, PS(plan.PS));
  out.push_back(ClockTime(plan.ClockYear, plan.ClockMonth, plan.ClockDay, plan.ClockHour, plan.ClockMinute,
                          plan.ClockOffset));
  out.push_back(SlowLabelling(0, static_cast<uint16_t>(0x300 | plan.ECC), false, plan.PIN));
  out.push_back(SlowLabelling(3, plan.Language, false, plan.PIN));
  Append(out, RadioText(plan.RadioTextB, true));
  Append(out, PTYN(plan.PTYN, false));
  Append(out, EONPS(plan.EONPI, plan.EONPS, true));
  Append(out, EONAF(plan.EONPI, AFMethodA({AFCode(89.1), AFCode(94.3), AFCode(102.2)})));
  out.push_back(EONPTYTA(plan.EONPI, 1, false));
  out.push_back(EONPIN(plan.EONPI, plan.PIN));
  out.push_back(EON14B(plan.EONPI, true, false));
  Append(out, Group15A(plan.Group15A, false));
  for (int s = 0; s < 4; ++s) out.push_back(Group15B(s));
  out.push_back(ODA(0x16, 0x0000, 0xCD46));
  return out;
}

std::string GroupText(const std::vector<TRdsGroupLine>& groups) {
  std::string s;
  for (const TRdsGroupLine& g : groups) s += FormatGroupLine(g) + "\n";
  return s;
}

TRdsBlockChannel::TRdsBlockChannel(uint32_t seed) : rng_(seed) {}

void TRdsBlockChannel::SetErrorRate(double rate, int burst, uint8_t status) {
  rate_ = rate;
  burst_ = burst < 1 ? 1 : burst;
  rateStatus_ = status & 3;
}

void TRdsBlockChannel::SetBlockError(size_t block, uint8_t status) { forced_.push_back({block, status}); }

void TRdsBlockChannel::DropBlock(size_t block) { drops_.insert(block); }

void TRdsBlockChannel::SetStamp(bool on, TDateTime stamp) {
  stamp_ = on;
  stampTime_ = stamp;
}

void TRdsBlockChannel::Add(const TRdsGroupLine& group, std::vector<std::vector<uint8_t>>& out) {
  static const uint8_t ids[4] = {kRdsIdA, kRdsIdB, kRdsIdC, kRdsIdD};
  const bool versionB = !group.Lost[1] && (group.Block[1] & 0x0800) != 0;
  std::uniform_real_distribution<double> uniform(0.0, 1.0);
  for (int i = 0; i < 4; ++i) {
    const size_t index = status_.size();
    uint8_t status = 0;
    if (rate_ > 0) {
      if (burstLeft_ == 0 && uniform(rng_) < rate_) burstLeft_ = burst_;
      if (burstLeft_ > 0) {
        status = rateStatus_;
        --burstLeft_;
      }
    }
    for (const auto& [b, s] : forced_)
      if (b == index) status = s & 3;
    uint16_t data = group.Block[i];
    if (group.Lost[i]) {
      status = 3;
      data = 0;
    }
    const bool drop = drops_.count(index) != 0;
    status_.push_back(status);
    dropped_.push_back(drop);
    if (drop) continue;
    const uint8_t id = (i == 2 && versionB) ? uint8_t(kRdsIdC2) : ids[i];
    std::vector<uint8_t> p(TRdsPacketizer::kPacketSize + (stamp_ ? 8 : 0));
    packetizer_.MakeBlock(id, data, status, p.data());
    if (stamp_) dt::StampToBytes(stampTime_, p.data() + TRdsPacketizer::kPacketSize);
    out.push_back(std::move(p));
  }
}

void TRdsBlockChannel::Add(const std::vector<TRdsGroupLine>& groups, std::vector<std::vector<uint8_t>>& out) {
  for (const TRdsGroupLine& g : groups) Add(g, out);
}
