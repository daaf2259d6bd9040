// rds_decode_bench [--dump] [group-file]
//
// Decodes a group file (one group a line as four 4-digit hex blocks, "----"
// for a lost block) the way the program receives it: every group as four
// type-1 packets through the decoder's data handler, with a listener that
// reads every change record. Prints the number of groups decoded, groups per
// second and the peak memory; with --dump it prints every change record as
// one line instead (kind, value, extras and texts), so two decodes can be
// compared line by line. Without a file it decodes a built-in sample.
#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <stdexcept>
#include <string>
#include <vector>

#include "receiver/RDS_Collector.h"
#include "support/RdsEncoder.h"
#include "support/RdsPacketizer.h"

namespace {

// A generated station: every group family, many cycles.
std::vector<TRdsGroupLine> SampleGroups() {
  TRdsEncoder enc;
  TRdsStationPlan plan;
  plan.AF = TRdsEncoder::AFMethodA({TRdsEncoder::AFCode(87.6), TRdsEncoder::AFCode(96.5),
                                    TRdsEncoder::AFCode(98.5), TRdsEncoder::AFCode(101.1)});
  std::vector<TRdsGroupLine> groups;
  const auto cycle = enc.StationCycle(plan);
  for (int i = 0; i < 5000; ++i) TRdsEncoder::Append(groups, cycle);
  return groups;
}

// A text as one line: printable bytes as they are, the rest escaped.
std::string Escaped(const std::string& s) {
  std::string out;
  for (unsigned char c : s) {
    if (c == '\\' || c == '"') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c >= 32 && c < 127) {
      out += static_cast<char>(c);
    } else if (c == '\r') {
      out += "\\r";
    } else if (c == '\n') {
      out += "\\n";
    } else {
      char buf[8];
      std::snprintf(buf, sizeof buf, "\\x%02X", c);
      out += buf;
    }
  }
  return out;
}

class TListener {
 public:
  TListener(TRDSCollector& dec, bool dump) : dec_(dec), dump_(dump) {}

  void Changed() {
    for (const TDataChange& c : dec_.Changes) {
      if (c.Kind == dcGroup) ++groups_;
      if (dump_) Dump(c);
      else Read(c);
    }
  }

  uint64_t Groups() const { return groups_; }
  uint64_t Checksum() const { return sum_; }

 private:
  void Read(const TDataChange& c) {
    sum_ += c.Kind + c.Value + static_cast<uint64_t>(c.Extra) + static_cast<uint64_t>(c.Extra2);
    for (const std::string& t : c.Texts) sum_ += t.size();
    for (const std::string& l : c.AFLines) sum_ += l.size();
    if (c.Kind == dcStatistics) sum_ += c.Stats.BlocksTotal;
  }

  void Dump(const TDataChange& c) {
    std::string line = std::to_string(c.Kind) + " " + std::to_string(c.Value);
    if (c.Extra || c.Extra2) line += " extra=" + std::to_string(c.Extra) + "," + std::to_string(c.Extra2);
    for (int i = 0; i < TDataChange::kTexts; ++i)
      if (!c.Texts[i].empty()) line += " [" + std::to_string(i) + "]=\"" + Escaped(c.Texts[i]) + "\"";
    for (const std::string& l : c.AFLines) line += " af=\"" + Escaped(l) + "\"";
    if (c.Kind == dcStatistics) {
      char buf[96];
      std::snprintf(buf, sizeof buf, " blocks=%u groups=%u ber=%.4f", c.Stats.BlocksTotal,
                    c.Stats.GroupsTotal, c.Stats.BER);
      line += buf;
    }
    std::puts(line.c_str());
  }

  TRDSCollector& dec_;
  bool dump_;
  uint64_t groups_ = 0;
  uint64_t sum_ = 0;
};

}  // namespace

int main(int argc, char** argv) {
  bool dump = false;
  std::string path;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--dump") == 0)
      dump = true;
    else if (argv[i][0] == '-') {
      std::fprintf(stderr, "usage: %s [--dump] [group-file]\n", argv[0]);
      return 2;
    } else
      path = argv[i];
  }

  std::vector<TRdsGroupLine> groups;
  try {
    groups = path.empty() ? SampleGroups() : LoadGroupFile(path);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "%s\n", e.what());
    return 1;
  }

  // Packets as the transport delivers them: the 12 device bytes and the
  // 8-byte stamp, kept in one flat buffer.
  constexpr size_t kSize = TRdsPacketizer::kPacketSize + 8;
  std::vector<uint8_t> packets;
  packets.reserve(groups.size() * 4 * kSize);
  uint8_t stamp[8];
  dt::StampToBytes(dt::Now(), stamp);
  TRdsPacketizer packetizer;
  std::vector<std::vector<uint8_t>> four;
  for (const TRdsGroupLine& g : groups) {
    four.clear();
    packetizer.AddGroup(g, four);
    for (const auto& p : four) {
      packets.insert(packets.end(), p.begin(), p.end());
      packets.insert(packets.end(), stamp, stamp + 8);
    }
  }
  const size_t blocks = packets.size() / kSize;

  TRDSCollector dec(nullptr);
  dec.SetActive(true);
  TListener listener(dec, dump);
  dec.RegisterDataChangeListener(TOnDataChangeEvent(&listener, &TListener::Changed));

  const auto start = std::chrono::steady_clock::now();
  for (size_t i = 0; i < blocks; ++i) dec.ComData(packets.data() + i * kSize, static_cast<int>(kSize) - 1);
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();

  if (dump) return 0;
  rusage ru{};
  getrusage(RUSAGE_SELF, &ru);
  std::printf("source: %s\n", path.empty() ? "built-in sample" : path.c_str());
  std::printf("groups in file: %zu\n", groups.size());
  std::printf("groups decoded: %llu\n", static_cast<unsigned long long>(listener.Groups()));
  std::printf("blocks: %zu\n", blocks);
  std::printf("groups per second: %.0f\n", seconds > 0 ? static_cast<double>(listener.Groups()) / seconds : 0.0);
  std::printf("blocks per second: %.0f\n", seconds > 0 ? static_cast<double>(blocks) / seconds : 0.0);
  std::printf("peak memory: %ld kB\n", ru.ru_maxrss);
  std::printf("checksum: %llu\n", static_cast<unsigned long long>(listener.Checksum()));
  return 0;
}
