#include "support/RdsPacketizer.h"

#include <cctype>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace {

bool ParseBlockToken(const std::string& tok, uint16_t& value, bool& lost) {
  if (tok == "----") {
    value = 0;
    lost = true;
    return true;
  }
  if (tok.size() != 4) return false;
  unsigned v = 0;
  for (char c : tok) {
    const int d = std::isdigit(static_cast<unsigned char>(c)) ? c - '0'
                  : (c >= 'a' && c <= 'f')                    ? c - 'a' + 10
                  : (c >= 'A' && c <= 'F')                    ? c - 'A' + 10
                                                              : -1;
    if (d < 0) return false;
    v = v * 16 + static_cast<unsigned>(d);
  }
  value = static_cast<uint16_t>(v);
  lost = false;
  return true;
}

}  // namespace

std::vector<TRdsGroupLine> ParseGroupText(const std::string& text) {
  std::vector<TRdsGroupLine> groups;
  std::istringstream in(text);
  std::string line;
  int lineNo = 0;
  while (std::getline(in, line)) {
    ++lineNo;
    size_t first = line.find_first_not_of(" \t\r\n");
    if (first == std::string::npos || line[first] == '#') continue;
    std::istringstream fields(line);
    TRdsGroupLine g;
    for (int i = 0; i < 4; ++i) {
      std::string tok;
      if (!(fields >> tok) || !ParseBlockToken(tok, g.Block[i], g.Lost[i])) {
        std::string shown = line;
        while (!shown.empty() && (shown.back() == '\r' || shown.back() == '\n')) shown.pop_back();
        throw std::runtime_error("group text line " + std::to_string(lineNo) +
                                 ": expected four 4-digit hex blocks or ----, got \"" + shown + "\"");
      }
    }
    groups.push_back(g);
  }
  return groups;
}

std::vector<TRdsGroupLine> LoadGroupFile(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  if (!f) throw std::runtime_error("cannot read group file " + path);
  std::ostringstream ss;
  ss << f.rdbuf();
  try {
    return ParseGroupText(ss.str());
  } catch (const std::runtime_error& e) {
    throw std::runtime_error(path + ": " + e.what());
  }
}

std::string FormatGroupLine(const TRdsGroupLine& g) {
  static const char* hex = "0123456789ABCDEF";
  std::string s;
  for (int i = 0; i < 4; ++i) {
    if (i) s += ' ';
    if (g.Lost[i]) {
      s += "----";
      continue;
    }
    for (int shift = 12; shift >= 0; shift -= 4) s += hex[(g.Block[i] >> shift) & 15];
  }
  return s;
}

void TRdsPacketizer::SetTunerBytes(uint8_t b7, uint8_t b8, uint8_t b9, uint8_t b10, uint8_t b11) {
  tuner_[0] = b7;
  tuner_[1] = b8;
  tuner_[2] = b9;
  tuner_[3] = b10;
  tuner_[4] = b11;
}

void TRdsPacketizer::Restart() {
  prevId_ = kRdsIdD;
  prevStatus_ = 0;
  prevData_ = 0;
}

void TRdsPacketizer::MakeBlock(uint8_t id, uint16_t data, uint8_t status, uint8_t* p) {
  status &= 3;
  id &= 7;
  p[0] = 1;
  p[1] = static_cast<uint8_t>((id << 4) | status);
  p[2] = static_cast<uint8_t>((prevId_ << 5) | (prevStatus_ << 3));
  p[3] = static_cast<uint8_t>(data >> 8);
  p[4] = static_cast<uint8_t>(data & 0xFF);
  p[5] = static_cast<uint8_t>(prevData_ >> 8);
  p[6] = static_cast<uint8_t>(prevData_ & 0xFF);
  for (int i = 0; i < 5; ++i) p[7 + i] = tuner_[i];
  prevId_ = id;
  prevStatus_ = status;
  prevData_ = data;
}

void TRdsPacketizer::AddBlock(uint8_t id, uint16_t data, uint8_t status,
                              std::vector<std::vector<uint8_t>>& out) {
  std::vector<uint8_t> p(kPacketSize);
  MakeBlock(id, data, status, p.data());
  out.push_back(std::move(p));
}

void TRdsPacketizer::AddGroup(const TRdsGroupLine& g, std::vector<std::vector<uint8_t>>& out,
                              const uint8_t* errorStatus) {
  const bool versionB = !g.Lost[1] && (g.Block[1] & 0x0800) != 0;
  static const uint8_t ids[4] = {kRdsIdA, kRdsIdB, kRdsIdC, kRdsIdD};
  for (int i = 0; i < 4; ++i) {
    uint8_t id = ids[i];
    if (i == 2 && versionB) id = kRdsIdC2;
    uint8_t status = errorStatus ? static_cast<uint8_t>(errorStatus[i] & 3) : 0;
    uint16_t data = g.Block[i];
    if (g.Lost[i]) {
      status = 3;
      data = 0;
    }
    AddBlock(id, data, status, out);
  }
}
