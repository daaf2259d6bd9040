#include "remote/RemoteHttp.h"

#include <algorithm>
#include <cstring>

size_t THttpHeadGuard::Accept(const char* P, size_t N) {
  for (size_t i = 0; i < N && !InBody_; ++i) {
    if (P[i] != '\n') {
      LastCR_ = P[i] == '\r';
      if (++LineLength_ > kMaxHeadLine + 1) return i;
      continue;
    }
    const bool empty = LineLength_ == 0 || (LineLength_ == 1 && LastCR_);
    if (empty && Lines_ > 0) InBody_ = true;
    else if (++Lines_ > kMaxHeaderLines + 1) return i;
    LineLength_ = 0;
  }
  return N;
}

ssize_t THttpStream::read(char* Ptr, size_t Size) {
  if (Pos_ == Buf_.size()) {
    // The bytes before a violation still pass, so the library sees a
    // broken head and answers 400.
    char chunk[4096];
    const ssize_t n = Refused_ ? -1 : In_.Receive(chunk, sizeof chunk, Deadline_);
    if (n <= 0) return -1;
    const size_t passed = Guard_.Accept(chunk, static_cast<size_t>(n));
    Refused_ = passed < static_cast<size_t>(n);
    if (passed == 0) return -1;
    Buf_.assign(chunk, passed);
    Pos_ = 0;
  }
  const size_t n = std::min(Size, Buf_.size() - Pos_);
  std::memcpy(Ptr, Buf_.data() + Pos_, n);
  Pos_ += n;
  return static_cast<ssize_t>(n);
}

ssize_t THttpStream::write(const char* Ptr, size_t Size) {
  std::string bytes(Ptr, Size);
  if (!HeadWritten_) {
    // The library writes the status line and headers in one piece.
    HeadWritten_ = true;
    const std::string marked = std::string("\r\nContent-Type: ") + kNoContentType + "\r\n";
    const size_t at = bytes.find(marked);
    if (at != std::string::npos) bytes.erase(at, marked.size() - 2);
  }
  return Out_(bytes.data(), bytes.size()) ? static_cast<ssize_t>(Size) : -1;
}

void THttpStream::get_remote_ip_and_port(std::string& Ip, int& Port) const {
  Ip = PeerIP_;
  Port = 0;
}

void THttpStream::get_local_ip_and_port(std::string& Ip, int& Port) const {
  Ip = LocalIP_;
  Port = 0;
}
