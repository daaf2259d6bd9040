#include "receiver/DeviceProtocol.h"

#include <cstring>

#include "platform/DateTime.h"
#include "platform/Format.h"

namespace proto {

TPacketView::TPacketView(const uint8_t* packet, int high, bool withStamp)
    : p_(packet), length_(0), hasStamp_(false) {
  if (!packet || high < 0) return;
  const int total = high + 1;
  if (withStamp) {
    // A packet without room for its stamp carries no device bytes we trust.
    if (total < 8) return;
    length_ = total - 8;
    hasStamp_ = true;
  } else {
    length_ = total;
  }
}

double TPacketView::Stamp() const { return hasStamp_ ? dt::StampFromBytes(p_ + length_) : 0.0; }

void TDeviceInfoPacket::InfoBytes(uint8_t out[8]) const {
  for (int i = 0; i < 8; ++i) out[i] = Byte(1 + i);
}

double TDeviceInfoPacket::DoubleAt(int offset) const {
  if (offset < 0 || offset + 8 > length_) return 0.0;
  uint8_t b[8];
  std::memcpy(b, p_ + offset, 8);
  return dt::StampFromBytes(b);  // the same little-endian IEEE-754 layout
}

std::string FirmwareText(uint8_t firmware) {
  return Format("%d.%d", firmware >> 4, firmware & 0x0F);
}

void PutDouble(uint8_t* at, double value) { dt::StampToBytes(value, at); }

}  // namespace proto
