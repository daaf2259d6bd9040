#pragma once
// The four operations of the receiver's USB bulk-transfer layer. The transport
// reaches the device only through this interface, so tests can put a
// simulated receiver behind it.
#include <cstdint>
#include <string>

// Device filter and endpoint name the receiver is opened by.
inline constexpr const char* kReceiverDeviceFilter = "vid_04d8&pid_000c";
inline constexpr const char* kReceiverPipeName = "\\MCHP_EP1";

// Direction argument of OpenPipe.
inline constexpr int kPipeWrite = 0;
inline constexpr int kPipeRead = 1;

class IUsbPipes {
 public:
  virtual ~IUsbPipes() = default;

  // Opens a pipe to the device matching the filter ("vid_xxxx&pid_xxxx"),
  // endpoint by name, direction kPipeWrite or kPipeRead. Returns a handle, or
  // -1 when the device is absent or cannot be opened. Opening more pipes while
  // the device is open hands out new handles on the same device (the presence
  // probe relies on it). Handles are never reused.
  virtual int OpenPipe(const std::string& deviceFilter, const std::string& pipeName,
                       int direction) = 0;

  // Reads one packet of at most len bytes. True on success with count set to
  // the bytes read; false on time-out, absence or a closed handle (count 0).
  virtual bool Read(int handle, uint8_t* buf, int len, int& count, int timeoutMs) = 0;

  // Writes len bytes. True when the transfer completed; count tells how many
  // bytes went out (a partial transfer may still report true: callers compare).
  virtual bool Write(int handle, const uint8_t* buf, int len, int& count, int timeoutMs) = 0;

  // Closes a handle. A Read or Write in flight on it from another thread is
  // cancelled (it returns false) and Close returns only once it has ended.
  // Closing -1 or an already closed handle does nothing.
  virtual void Close(int handle) = 0;
};
