#pragma once
// The receiver's USB pipes over libusb-1.0. The device is opened (and its
// kernel driver detached, interface 0 claimed) by the first pipe; further
// pipes re-check that it is still on the bus and share the open device,
// which is closed again with its last pipe.
#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <set>

#include "platform/UsbPipes.h"

struct libusb_context;
struct libusb_device_handle;
struct libusb_transfer;

class TLibUsbPipes final : public IUsbPipes {
 public:
  TLibUsbPipes();
  ~TLibUsbPipes() override;
  TLibUsbPipes(const TLibUsbPipes&) = delete;
  TLibUsbPipes& operator=(const TLibUsbPipes&) = delete;

  int OpenPipe(const std::string& deviceFilter, const std::string& pipeName, int direction) override;
  bool Read(int handle, uint8_t* buf, int len, int& count, int timeoutMs) override;
  bool Write(int handle, const uint8_t* buf, int len, int& count, int timeoutMs) override;
  void Close(int handle) override;

  // "vid_04d8&pid_000c" -> 0x04D8, 0x000C (case-insensitive). False when the
  // text is no such filter.
  static bool ParseDeviceFilter(const std::string& filter, uint16_t& vid, uint16_t& pid);
  // "\MCHP_EP1" -> 1: the number at the end of the name. False without one
  // or outside 1..15.
  static bool ParsePipeName(const std::string& name, int& endpoint);

 private:
  struct TPipe {
    uint8_t Endpoint = 0;  // address, bit 7 set for IN
    bool Closing = false;
    int InFlight = 0;
    std::set<libusb_transfer*> Transfers;
  };

  bool Transfer(int handle, bool in, uint8_t* buf, int len, int& count, int timeoutMs);
  bool DevicePresentLocked();
  void ReleaseDeviceLocked();

  libusb_context* ctx_ = nullptr;
  libusb_device_handle* device_ = nullptr;
  uint16_t vid_ = 0, pid_ = 0;
  bool claimed_ = false;

  std::mutex mutex_;
  std::condition_variable idle_;  // a transfer ended
  std::map<int, std::shared_ptr<TPipe>> pipes_;
  int nextHandle_ = 1;
};
