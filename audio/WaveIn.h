#pragma once
// A wave-in device in the system's manner: the owner queues buffers, the
// device fills them on a capture thread and hands each filled buffer back on
// the owner's thread. The sound itself comes from a backend (ALSA in the
// program, a fake in tests).
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <variant>
#include <vector>

#include "audio/wvCommon.h"
#include "platform/MainThreadInvoker.h"
#include "platform/MessageQueue.h"
#include "platform/Thread.h"

// The device opened for device id 255.
inline constexpr uint8_t WAVE_MAPPER = 255;

struct TWaveHdr {
  uint8_t* lpData = nullptr;
  uint32_t dwBufferLength = 0;
  uint32_t dwBytesRecorded = 0;
  uintptr_t dwUser = 0;
  uint32_t dwFlags = 0;
  uint32_t dwLoops = 0;
};
inline constexpr uint32_t WHDR_DONE = 0x1;
inline constexpr uint32_t WHDR_PREPARED = 0x2;
inline constexpr uint32_t WHDR_INQUEUE = 0x10;

// Where the samples come from. Read runs on the capture thread.
class IWaveInBackend {
 public:
  virtual ~IWaveInBackend() = default;
  // `mapped`: a non-PCM format to be delivered through the mapper.
  virtual MMRESULT Open(uint8_t device, bool mapped, const WAVEFORMATEX& format) = 0;
  // Fills `size` bytes (whole frames), or fewer once `stop` is set. A device
  // that fails or disappears answers with an error code.
  virtual MMRESULT Read(uint8_t* data, uint32_t size, uint32_t& got, const std::atomic<bool>& stop) = 0;
  virtual void Close() = 0;
};
using TWaveInBackendFactory = std::function<std::unique_ptr<IWaveInBackend>()>;

class TWaveInDevice {
 public:
  // Both run on the owner's thread: a filled buffer, and the error that ended
  // the capture.
  using TDataHandler = std::function<void(TWaveHdr*)>;
  using TErrorHandler = std::function<void(MMRESULT)>;

  TWaveInDevice(TMainThreadInvoker& owner, TDataHandler onData, TErrorHandler onError);
  ~TWaveInDevice();
  TWaveInDevice(const TWaveInDevice&) = delete;
  TWaveInDevice& operator=(const TWaveInDevice&) = delete;

  MMRESULT Open(std::unique_ptr<IWaveInBackend> backend, uint8_t device, bool mapped, const WAVEFORMATEX& format);
  MMRESULT Prepare(TWaveHdr* hdr);
  MMRESULT Unprepare(TWaveHdr* hdr);
  MMRESULT AddBuffer(TWaveHdr* hdr);
  MMRESULT Start();
  // Stops capturing and gives up every queued buffer (the owner still owns
  // them); filled buffers not yet handed back are dropped.
  MMRESULT Reset();
  MMRESULT Close();
  bool IsOpen() const { return backend_ != nullptr; }

 private:
  // A filled buffer, or the code of the failure that ended the capture.
  using TMessage = std::variant<TWaveHdr*, MMRESULT>;
  class TDelivery;

  void Capture();
  void Deliver(const TMessage& msg);
  void JoinDelivery();

  TMainThreadInvoker& owner_;
  TDataHandler onData_;
  TErrorHandler onError_;
  std::unique_ptr<IWaveInBackend> backend_;
  std::thread capture_;
  std::unique_ptr<TDelivery> delivery_;
  std::vector<std::unique_ptr<TDelivery>> retired_;  // ended, not yet joined
  TThreadMessageQueue<TMessage> done_;
  std::mutex mutex_;
  std::condition_variable queuedCv_;
  std::deque<TWaveHdr*> queued_;  // guarded by mutex_
  std::atomic<bool> stop_{false};
  std::atomic<bool> discard_{false};  // deliveries after Reset are dropped
  bool delivering_ = false;           // owner's thread: inside a handler
};
