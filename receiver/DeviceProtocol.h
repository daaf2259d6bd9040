#pragma once
// The receiver's wire format: command bytes host -> device and read-only
// views of the device -> host packets. Every view checks the packet's length
// first, so no reader ever looks past the bytes the device sent.
#include <cstdint>
#include <string>

namespace proto {

// ---- Host -> device commands (one byte unless noted) ----
inline constexpr uint8_t cmdModeRDS = 0x00;
inline constexpr uint8_t cmdModeRBDS = 0x01;
inline constexpr uint8_t cmdInputMPX = 0x02;
inline constexpr uint8_t cmdInputAntenna = 0x03;
inline constexpr uint8_t cmdSeekUp = 0x04;
inline constexpr uint8_t cmdSeekDown = 0x05;
inline constexpr uint8_t cmdTune = 0x06;  // followed by PLL word high, low
inline constexpr uint8_t cmdEndConfig = 0x08;
inline constexpr uint8_t cmdReset = 0x09;
inline constexpr uint8_t cmdBandScan = 0x0A;
inline constexpr uint8_t cmdScanStepFine = 0x0B;
inline constexpr uint8_t cmdScanStepNormal = 0x0C;
inline constexpr uint8_t cmdScanStepFast = 0x0D;
inline constexpr uint8_t cmdStopLevel0 = 0x10;  // + setting 0..3
inline constexpr uint8_t cmdSpacing0 = 0x14;    // + setting 0..2
inline constexpr uint8_t cmdSensitivityDX = 0x17;
inline constexpr uint8_t cmdSensitivityLocal = 0x18;
inline constexpr uint8_t cmdDeviceInfo = 0x20;
inline constexpr uint8_t cmdDeemphasisOff = 0x30;
inline constexpr uint8_t cmdDeemphasisOn = 0x31;

// Length of a command starting with this byte (3 for tune, else 1).
constexpr int CommandLength(uint8_t first) { return first == cmdTune ? 3 : 1; }

// ---- Device -> host packet types ----
inline constexpr uint8_t ptRDS = 1;         // RDS block + tuner status
inline constexpr uint8_t ptStatus = 2;      // tuner status
inline constexpr uint8_t ptScanPoint = 3;   // band-scan point
inline constexpr uint8_t ptDeviceInfo = 4;  // firmware, hardware, ID, calibration
inline constexpr uint8_t ptType5 = 5;
inline constexpr uint8_t ptType6 = 6;

// Bytes a packet of this type must have for its readers (1 for types whose
// content nobody reads).
constexpr int MinPacketLength(uint8_t type) {
  switch (type) {
    case ptRDS: return 12;
    case ptStatus: return 12;
    case ptScanPoint: return 6;
    case ptDeviceInfo: return 49;
    default: return 1;
  }
}

// Block identifiers of a type-1 packet (5 takes part in group assembly like
// C and D; 6 and 7 are not valid).
enum TBlockId : uint8_t { biA = 0, biB = 1, biC = 2, biD = 3, biC2 = 4 };

// MPX deviation reading carried by types 1 and 2 (bytes 10, 11).
struct TMpxReading {
  bool Toggle;   // a new reading when it differs from the last one seen
  uint16_t Raw;  // 11 bits
};

// Base of the views: a packet as handed to data handlers (device bytes
// followed by the 8-byte stamp, High = index of the last byte) or as read from
// the device (withStamp false, High = index of the last device byte).
class TPacketView {
 public:
  TPacketView(const uint8_t* packet, int high, bool withStamp = true);
  // Bytes the device sent (stamp excluded); 0 for a null packet.
  int Length() const { return length_; }
  uint8_t Type() const { return length_ > 0 ? p_[0] : 0; }
  // Receive stamp (TDateTime); 0 when the view has none.
  double Stamp() const;
  // Byte i, or 0 when the device did not send it.
  uint8_t Byte(int i) const { return i >= 0 && i < length_ ? p_[i] : 0; }
  const uint8_t* Data() const { return p_; }

 protected:
  bool Holds(uint8_t type) const { return Type() == type && length_ >= MinPacketLength(type); }
  uint16_t Word(int hi, int lo) const { return static_cast<uint16_t>(Byte(hi) << 8 | Byte(lo)); }
  // A 14-bit PLL word: byte hi masked with 0x3F, then the byte after it.
  uint16_t PLLWordAt(int hi) const { return static_cast<uint16_t>((Byte(hi) & 0x3F) << 8 | Byte(hi + 1)); }
  // The MPX deviation reading that types 1 and 2 carry in bytes 10, 11.
  TMpxReading MpxReading() const {
    return {static_cast<bool>(Byte(10) & 0x80), static_cast<uint16_t>((Byte(10) & 0x07) << 8 | Byte(11))};
  }

  const uint8_t* p_;
  int length_;
  bool hasStamp_;
};

// Type 1: RDS block + tuner status.
class TRdsPacket : public TPacketView {
 public:
  using TPacketView::TPacketView;
  bool Valid() const { return Holds(ptRDS); }
  uint8_t BlockId() const { return (Byte(1) >> 4) & 0x07; }
  uint8_t ErrorStatus() const { return Byte(1) & 0x03; }
  uint8_t PrevBlockId() const { return (Byte(2) >> 5) & 0x07; }
  uint8_t PrevErrorStatus() const { return (Byte(2) >> 3) & 0x03; }
  uint16_t BlockData() const { return Word(3, 4); }
  uint16_t PrevBlockData() const { return Word(5, 6); }
  uint16_t PLLWord() const { return PLLWordAt(7); }
  bool InjectionSide() const { return Byte(9) & 0x01; }
  bool StereoBit() const { return Byte(9) & 0x04; }
  uint8_t Level() const { return Byte(9) >> 4; }
  // Stereo as reported: never below level 8.
  bool Stereo() const { return StereoBit() && Level() >= 8; }
  TMpxReading Mpx() const { return MpxReading(); }
};

// Type 2: tuner status.
class TStatusPacket : public TPacketView {
 public:
  using TPacketView::TPacketView;
  bool Valid() const { return Holds(ptStatus); }
  bool InjectionSide() const { return Byte(1) & 0x10; }
  uint16_t PLLWord() const { return PLLWordAt(2); }
  bool StereoBit() const { return Byte(5) & 0x04; }
  uint8_t Level() const { return Byte(5) >> 4; }
  bool Stereo() const { return StereoBit() && Level() >= 8; }
  TMpxReading Mpx() const { return MpxReading(); }
};

// Type 3: band-scan point.
class TScanPointPacket : public TPacketView {
 public:
  using TPacketView::TPacketView;
  bool Valid() const { return Holds(ptScanPoint); }
  uint16_t PLLWord() const { return PLLWordAt(2); }
  uint8_t Level() const { return Byte(5) >> 4; }
};

// Type 4: device information.
class TDeviceInfoPacket : public TPacketView {
 public:
  using TPacketView::TPacketView;
  bool Valid() const { return Holds(ptDeviceInfo); }
  uint8_t Firmware() const { return Byte(1); }  // major high nibble, minor low
  uint8_t HardwareType() const { return Byte(2); }
  uint8_t DeviceId(int i) const { return Byte(3 + i); }  // i = 0..3
  // Bytes 1..8 as received (firmware, hardware type, ID, two further bytes).
  void InfoBytes(uint8_t out[8]) const;
  double MPXOffset() const { return DoubleAt(9); }
  double MPXScale() const { return DoubleAt(17); }
  // Three further calibration values, stored and not interpreted (i = 0..2).
  double Extra(int i) const { return DoubleAt(25 + 8 * i); }

  // Little-endian IEEE-754 double at a byte offset (0 when not sent).
  double DoubleAt(int offset) const;
};

// Firmware byte as shown: major, a point, minor ("0.2").
std::string FirmwareText(uint8_t firmware);

// Writes a little-endian double (device model and tests).
void PutDouble(uint8_t* at, double value);

}  // namespace proto
