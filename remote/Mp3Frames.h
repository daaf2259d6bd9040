#pragma once
// Cuts the encoder's MP3 bytes into whole layer III frames, so a listener
// that falls behind can skip frames and still get a stream a player decodes.
// Bytes that start no valid frame header are passed over until one does.
#include <cstdint>
#include <functional>
#include <string>

class TMp3FrameSplitter {
 public:
  // One whole frame and how long it plays (microseconds).
  using TFrame = std::function<void(std::string Frame, int64_t LengthUs)>;
  void Push(const std::string& Bytes, const TFrame& Out);

 private:
  std::string Pending_;
};
