#pragma once
// Fuzz input as a connection: handed out in small, uneven pieces so that
// every boundary of the bounded readers is crossed.
#include <algorithm>
#include <cstring>

#include "remote/TcpServer.h"

class TMemorySource final : public TByteSource {
 public:
  TMemorySource(const uint8_t* Data, size_t Size) : Data_(Data), Size_(Size) {}
  ssize_t Receive(char* Buf, size_t Size, TDeadline) override {
    const size_t n = std::min({Size, Size_ - Pos_, 1 + (Pos_ * 7919) % 61});
    std::memcpy(Buf, Data_ + Pos_, n);
    Pos_ += n;
    return static_cast<ssize_t>(n);
  }
  bool Pending() override { return Pos_ < Size_; }

 private:
  const uint8_t* Data_;
  size_t Size_, Pos_ = 0;
};
