#pragma once
// A decoder fed packet by packet through its data handler, with a listener
// that records every change record and the kinds of each notification.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "receiver/RDS_Collector.h"
#include "support/FakeClock.h"
#include "support/RdsEncoder.h"

class RDSCollectorFixture : public ::testing::Test {
 protected:
  TFakeClock clock;
  TRDSCollector dec{nullptr, clock};
  TRdsEncoder enc;
  TRdsBlockChannel channel;
  std::vector<TDataChange> recs;
  std::vector<std::vector<uint8_t>> notes;  // the kinds of each notification

  void SetUp() override {
    channel.SetStamp(true);
    dec.SetActive(true);
    dec.RegisterDataChangeListener(Listener());
  }

  TOnDataChangeEvent Listener() {
    return TOnDataChangeEvent(std::string("recorder"), [this] { Record(); });
  }

  void Record() {
    std::vector<uint8_t> kinds;
    for (const TDataChange& c : dec.Changes) {
      recs.push_back(c);
      kinds.push_back(c.Kind);
    }
    notes.push_back(kinds);
  }

  void Feed(const std::vector<TRdsGroupLine>& groups) {
    std::vector<std::vector<uint8_t>> packets;
    channel.Add(groups, packets);
    FeedPackets(packets);
  }
  void Feed(const TRdsGroupLine& g) { Feed(std::vector<TRdsGroupLine>{g}); }

  void FeedPackets(const std::vector<std::vector<uint8_t>>& packets) {
    for (const auto& p : packets) dec.ComData(p.data(), static_cast<int>(p.size()) - 1);
  }

  // One raw block as the receiver reports it (stamp appended).
  void FeedBlock(uint8_t id, uint8_t status, uint16_t data, uint8_t prevId, uint8_t prevStatus,
                 uint16_t prevData = 0) {
    uint8_t p[20] = {1,
                     static_cast<uint8_t>(id << 4 | status),
                     static_cast<uint8_t>(prevId << 5 | prevStatus << 3),
                     static_cast<uint8_t>(data >> 8),
                     static_cast<uint8_t>(data),
                     static_cast<uint8_t>(prevData >> 8),
                     static_cast<uint8_t>(prevData)};
    dec.ComData(p, 19);
  }

  std::vector<TDataChange> Of(uint8_t kind) const {
    std::vector<TDataChange> out;
    for (const TDataChange& c : recs)
      if (c.Kind == kind) out.push_back(c);
    return out;
  }

  size_t Count(uint8_t kind) const { return Of(kind).size(); }

  // The block C word of every decoded group, in order (read from the group
  // record's decimal texts).
  std::vector<uint16_t> DecodedC() const {
    std::vector<uint16_t> out;
    for (const TDataChange& c : recs)
      if (c.Kind == dcGroup) out.push_back(static_cast<uint16_t>(std::stoul(c.Texts[3])));
    return out;
  }

  void Clear() {
    recs.clear();
    notes.clear();
  }

  static std::string Blanks(std::string s, size_t n) {
    s.resize(n, ' ');
    return s;
  }
};
