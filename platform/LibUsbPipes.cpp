#include "platform/LibUsbPipes.h"

#include <libusb.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <vector>

namespace {

bool ParseHexAfter(const std::string& text, const std::string& key, uint16_t& value) {
  const size_t at = text.find(key);
  if (at == std::string::npos) return false;
  const std::string hex = text.substr(at + key.size(), 4);
  if (hex.size() != 4 || !std::all_of(hex.begin(), hex.end(), [](unsigned char c) { return std::isxdigit(c); }))
    return false;
  value = static_cast<uint16_t>(std::strtoul(hex.c_str(), nullptr, 16));
  return true;
}

extern "C" void LIBUSB_CALL TransferDone(libusb_transfer* t) {
  *static_cast<int*>(t->user_data) = 1;
}

}  // namespace

TLibUsbPipes::TLibUsbPipes() {
  if (libusb_init(&ctx_) != 0) ctx_ = nullptr;
}

TLibUsbPipes::~TLibUsbPipes() {
  std::vector<int> handles;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    for (auto& [h, p] : pipes_) handles.push_back(h);
  }
  for (int h : handles) Close(h);
  if (ctx_) libusb_exit(ctx_);
}

bool TLibUsbPipes::ParseDeviceFilter(const std::string& filter, uint16_t& vid, uint16_t& pid) {
  std::string f = filter;
  std::transform(f.begin(), f.end(), f.begin(), [](unsigned char c) { return std::tolower(c); });
  return ParseHexAfter(f, "vid_", vid) && ParseHexAfter(f, "pid_", pid);
}

bool TLibUsbPipes::ParsePipeName(const std::string& name, int& endpoint) {
  size_t end = name.size();
  size_t start = end;
  while (start > 0 && std::isdigit(static_cast<unsigned char>(name[start - 1]))) --start;
  if (start == end || end - start > 2) return false;
  endpoint = std::atoi(name.c_str() + start);
  return endpoint >= 1 && endpoint <= 15;
}

bool TLibUsbPipes::DevicePresentLocked() {
  if (!device_) return false;
  libusb_device* mine = libusb_get_device(device_);
  libusb_device** list = nullptr;
  const ssize_t n = libusb_get_device_list(ctx_, &list);
  bool found = false;
  for (ssize_t i = 0; i < n && !found; ++i) {
    libusb_device* d = list[i];
    libusb_device_descriptor desc;
    if (libusb_get_device_descriptor(d, &desc) != 0) continue;
    found = desc.idVendor == vid_ && desc.idProduct == pid_ &&
            libusb_get_bus_number(d) == libusb_get_bus_number(mine) &&
            libusb_get_device_address(d) == libusb_get_device_address(mine);
  }
  if (list) libusb_free_device_list(list, 1);
  return found;
}

void TLibUsbPipes::ReleaseDeviceLocked() {
  if (!device_) return;
  if (claimed_) libusb_release_interface(device_, 0);
  claimed_ = false;
  libusb_close(device_);
  device_ = nullptr;
}

int TLibUsbPipes::OpenPipe(const std::string& deviceFilter, const std::string& pipeName, int direction) {
  uint16_t vid, pid;
  int ep;
  if (!ctx_ || !ParseDeviceFilter(deviceFilter, vid, pid) || !ParsePipeName(pipeName, ep)) return -1;
  if (direction != kPipeWrite && direction != kPipeRead) return -1;
  std::lock_guard<std::mutex> lock(mutex_);
  if (device_) {
    // Already open: another pipe only re-checks that it is still there.
    if (vid != vid_ || pid != pid_ || !DevicePresentLocked()) return -1;
  } else {
    device_ = libusb_open_device_with_vid_pid(ctx_, vid, pid);
    if (!device_) return -1;
    vid_ = vid;
    pid_ = pid;
    libusb_set_auto_detach_kernel_driver(device_, 1);
    if (libusb_kernel_driver_active(device_, 0) == 1) libusb_detach_kernel_driver(device_, 0);
    claimed_ = libusb_claim_interface(device_, 0) == 0;
    if (!claimed_) {
      ReleaseDeviceLocked();
      return -1;
    }
  }
  auto pipe = std::make_shared<TPipe>();
  pipe->Endpoint = static_cast<uint8_t>(ep | (direction == kPipeRead ? LIBUSB_ENDPOINT_IN : LIBUSB_ENDPOINT_OUT));
  const int handle = nextHandle_++;
  pipes_[handle] = pipe;
  return handle;
}

bool TLibUsbPipes::Transfer(int handle, bool in, uint8_t* buf, int len, int& count, int timeoutMs) {
  count = 0;
  if (!buf || len <= 0) return false;
  libusb_transfer* t = libusb_alloc_transfer(0);
  if (!t) return false;
  int completed = 0;
  std::shared_ptr<TPipe> pipe;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = pipes_.find(handle);
    if (it == pipes_.end() || it->second->Closing || !device_ ||
        static_cast<bool>(it->second->Endpoint & LIBUSB_ENDPOINT_IN) != in) {
      libusb_free_transfer(t);
      return false;
    }
    pipe = it->second;
    libusb_fill_bulk_transfer(t, device_, pipe->Endpoint, buf, len, TransferDone, &completed,
                              static_cast<unsigned>(std::max(timeoutMs, 1)));
    // Submitted under the lock, so Close either sees it and cancels it or
    // the pipe is already closing and it is never submitted.
    if (libusb_submit_transfer(t) != 0) {
      libusb_free_transfer(t);
      return false;
    }
    pipe->Transfers.insert(t);
    ++pipe->InFlight;
  }
  while (!completed) {
    if (libusb_handle_events_completed(ctx_, &completed) != 0 && !completed) {
      // Event handling broke (interrupted): cancel and wait for the callback.
      libusb_cancel_transfer(t);
    }
  }
  const bool ok = t->status == LIBUSB_TRANSFER_COMPLETED;
  count = t->actual_length;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    pipe->Transfers.erase(t);
    --pipe->InFlight;
  }
  idle_.notify_all();
  libusb_free_transfer(t);
  return ok;
}

bool TLibUsbPipes::Read(int handle, uint8_t* buf, int len, int& count, int timeoutMs) {
  return Transfer(handle, true, buf, len, count, timeoutMs);
}

bool TLibUsbPipes::Write(int handle, const uint8_t* buf, int len, int& count, int timeoutMs) {
  // libusb takes a non-const buffer; an OUT transfer only reads it.
  return Transfer(handle, false, const_cast<uint8_t*>(buf), len, count, timeoutMs);
}

void TLibUsbPipes::Close(int handle) {
  std::unique_lock<std::mutex> lock(mutex_);
  auto it = pipes_.find(handle);
  if (it == pipes_.end()) return;
  std::shared_ptr<TPipe> pipe = it->second;
  if (pipe->Closing) {
    // Another thread is closing it: wait until it is gone.
    idle_.wait(lock, [&] { return pipes_.find(handle) == pipes_.end(); });
    return;
  }
  pipe->Closing = true;
  for (libusb_transfer* t : pipe->Transfers) libusb_cancel_transfer(t);
  idle_.wait(lock, [&] { return pipe->InFlight == 0; });
  pipes_.erase(handle);
  if (pipes_.empty()) ReleaseDeviceLocked();
  lock.unlock();
  idle_.notify_all();
}
