#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "platform/DateTime.h"
#include "receiver/DeviceProtocol.h"

namespace {

// Device bytes followed by the 8-byte stamp, as data handlers get them.
std::vector<uint8_t> Stamped(std::vector<uint8_t> bytes, TDateTime stamp) {
  const size_t n = bytes.size();
  bytes.resize(n + 8);
  dt::StampToBytes(stamp, bytes.data() + n);
  return bytes;
}

int High(const std::vector<uint8_t>& v) { return static_cast<int>(v.size()) - 1; }

}  // namespace

TEST(DeviceProtocol, RdsAndStatusFields) {
  const TDateTime stamp = dt::EncodeDate(2026, 3, 1) + dt::EncodeTime(10, 0, 0, 5);
  // Block B (id 1) corrected (1), previous block A (id 0) uncorrectable (3),
  // word 0x2A97 on the high side, level 9, stereo, MPX toggle set, raw 0x5A5.
  const auto rds = Stamped({1, 0x11, 0x18, 0x20, 0x30, 0x62, 0x04, 0xEA, 0x97, 0x95, 0x85, 0xA5}, stamp);
  proto::TRdsPacket p(rds.data(), High(rds));
  ASSERT_TRUE(p.Valid());
  EXPECT_EQ(p.Length(), 12);
  EXPECT_EQ(p.Stamp(), stamp);
  // The PLL word's high byte is masked with 0x3F.
  EXPECT_EQ((std::vector<int>{p.BlockId(), p.ErrorStatus(), p.PrevBlockId(), p.PrevErrorStatus(), p.BlockData(),
                              p.PrevBlockData(), p.PLLWord(), p.InjectionSide(), p.Level(), p.Stereo(),
                              p.Mpx().Toggle, p.Mpx().Raw}),
            (std::vector<int>{proto::biB, 1, proto::biA, 3, 0x2030, 0x6204, 0x2A97, 1, 9, 1, 1, 0x5A5}));

  const auto st = Stamped({2, 0x10, 0x29, 0x97, 0, 0x74, 0, 0, 0, 0, 0x03, 0xFF}, stamp);
  proto::TStatusPacket s(st.data(), High(st));
  ASSERT_TRUE(s.Valid());
  EXPECT_EQ((std::vector<int>{s.InjectionSide(), s.PLLWord(), s.Level(), s.Mpx().Toggle, s.Mpx().Raw}),
            (std::vector<int>{1, 0x2997, 7, 0, 0x3FF}));
  // A view of one type does not accept another.
  EXPECT_FALSE(proto::TRdsPacket(st.data(), High(st)).Valid());

  // The stereo bit means nothing below level 8, in either view.
  for (const auto& [level, stereo] : {std::pair{7, false}, std::pair{8, true}}) {
    std::vector<uint8_t> status(12, 0), block(12, 0);
    status[0] = 2;
    status[5] = static_cast<uint8_t>(level << 4 | 0x04);
    block[0] = 1;
    block[9] = static_cast<uint8_t>(level << 4 | 0x04);
    EXPECT_EQ(proto::TStatusPacket(status.data(), 11, false).Stereo(), stereo) << level;
    EXPECT_EQ(proto::TRdsPacket(block.data(), 11, false).Stereo(), stereo) << level;
  }
}

TEST(DeviceProtocol, ShortPacketsAreInvalidAndNeverReadPastTheirBytes) {
  // Five device bytes of a type-1 packet, then the stamp: a view must not
  // take stamp bytes for packet fields.
  const auto shortRds = Stamped({1, 0x11, 0x18, 0x20, 0x30}, 1.0);
  proto::TRdsPacket p(shortRds.data(), High(shortRds));
  EXPECT_EQ((std::vector<int>{p.Length(), p.Valid(), p.PLLWord(), p.Level(), p.Byte(5), p.Byte(-1)}),
            (std::vector<int>{5, 0, 0, 0, 0, 0}));
  EXPECT_EQ(p.Stamp(), 1.0);

  // Fewer bytes than a stamp: nothing at all.
  const uint8_t tiny[4] = {1, 2, 3, 4};
  proto::TRdsPacket t(tiny, 3);
  EXPECT_EQ((std::vector<int>{t.Length(), t.Type(), t.Valid()}), (std::vector<int>{0, 0, 0}));
  EXPECT_EQ(proto::TRdsPacket(nullptr, 20).Length(), 0);

  // As read from the device (no stamp).
  const uint8_t scan[6] = {3, 0, 0x33, 0x9B, 0, 0xC0};
  proto::TScanPointPacket sp(scan, 5, false);
  ASSERT_TRUE(sp.Valid());
  EXPECT_EQ((std::vector<double>{double(sp.PLLWord()), double(sp.Level()), sp.Stamp()}),
            (std::vector<double>{0x339B, 12, 0}));
  EXPECT_FALSE(proto::TScanPointPacket(scan, 4, false).Valid());

  std::vector<uint8_t> info(48, 0);  // one byte short of the last double
  info[0] = proto::ptDeviceInfo;
  proto::TDeviceInfoPacket di(info.data(), High(info), false);
  EXPECT_FALSE(di.Valid());
  EXPECT_EQ(di.Extra(2), 0.0);
}

TEST(DeviceProtocol, DeviceInformationFields) {
  std::vector<uint8_t> info = {4, 0x12, 1, 0xDE, 0xAD, 0xBE, 0xEF, 0x55, 0x66};
  info.resize(64);
  proto::PutDouble(&info[9], -12.5);
  proto::PutDouble(&info[17], 0.0625);
  proto::PutDouble(&info[25], 3.0);
  proto::PutDouble(&info[33], std::numeric_limits<double>::quiet_NaN());
  proto::PutDouble(&info[41], 1e-9);
  const auto stamped = Stamped(info, 2.0);
  proto::TDeviceInfoPacket p(stamped.data(), High(stamped));
  ASSERT_TRUE(p.Valid());
  EXPECT_EQ(p.DeviceId(3), 0xEF);
  // Offset at bytes 9..16, scale at 17..24, little-endian.
  EXPECT_EQ((std::vector<double>{p.MPXOffset(), p.MPXScale(), p.Extra(0), p.Extra(2)}),
            (std::vector<double>{-12.5, 0.0625, 3.0, 1e-9}));
  EXPECT_TRUE(std::isnan(p.Extra(1)));
  EXPECT_EQ(info[17 + 7], 0x3F);  // the high byte of 0.0625 comes last

  EXPECT_EQ(proto::FirmwareText(0x02) + " " + proto::FirmwareText(0xAF), "0.2 10.15");
}
