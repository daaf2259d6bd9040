#include "audio/WaveIn.h"

// Hands filled buffers to the owner's thread one at a time, so the capture
// thread never waits for the owner and keeps filling the next buffer.
class TWaveInDevice::TDelivery final : public TThread {
 public:
  explicit TDelivery(TWaveInDevice& device) : device_(device) {}
  ~TDelivery() override {
    Terminate();
    WaitFor();
  }

 protected:
  void Execute() override {
    while (!Terminated()) {
      std::optional<TMessage> msg = device_.done_.Wait();
      if (!msg || Terminated()) continue;
      if (!device_.owner_.Synchronize([&] { device_.Deliver(*msg); })) return;  // shutting down
    }
  }
  void TerminatedSet() override { device_.done_.Wake(); }

 private:
  TWaveInDevice& device_;
};

TWaveInDevice::TWaveInDevice(TMainThreadInvoker& owner, TDataHandler onData, TErrorHandler onError)
    : owner_(owner), onData_(std::move(onData)), onError_(std::move(onError)) {}

TWaveInDevice::~TWaveInDevice() {
  if (backend_) Close();
  JoinDelivery();
}

MMRESULT TWaveInDevice::Open(std::unique_ptr<IWaveInBackend> backend, uint8_t device, bool mapped,
                             const WAVEFORMATEX& format) {
  if (backend_) return MMSYSERR_ALLOCATED;
  if (!backend) return MMSYSERR_BADDEVICEID;
  if (const MMRESULT r = backend->Open(device, mapped, format)) return r;
  backend_ = std::move(backend);
  return MMSYSERR_NOERROR;
}

MMRESULT TWaveInDevice::Prepare(TWaveHdr* hdr) {
  if (!hdr || !hdr->lpData) return MMSYSERR_INVALPARAM;
  hdr->dwFlags |= WHDR_PREPARED;
  return MMSYSERR_NOERROR;
}

MMRESULT TWaveInDevice::Unprepare(TWaveHdr* hdr) {
  if (!hdr) return MMSYSERR_INVALPARAM;
  if (hdr->dwFlags & WHDR_INQUEUE) return WAVERR_STILLPLAYING;
  hdr->dwFlags &= ~WHDR_PREPARED;
  return MMSYSERR_NOERROR;
}

MMRESULT TWaveInDevice::AddBuffer(TWaveHdr* hdr) {
  if (!backend_) return MMSYSERR_INVALHANDLE;
  if (!hdr) return MMSYSERR_INVALPARAM;
  if (!(hdr->dwFlags & WHDR_PREPARED)) return WAVERR_UNPREPARED;
  hdr->dwFlags = (hdr->dwFlags | WHDR_INQUEUE) & ~WHDR_DONE;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    queued_.push_back(hdr);
  }
  queuedCv_.notify_all();
  return MMSYSERR_NOERROR;
}

MMRESULT TWaveInDevice::Start() {
  if (!backend_) return MMSYSERR_INVALHANDLE;
  if (capture_.joinable()) return MMSYSERR_NOERROR;
  JoinDelivery();
  stop_ = false;
  discard_ = false;
  done_.TakeAll();
  delivery_ = std::make_unique<TDelivery>(*this);
  delivery_->Start();
  capture_ = std::thread([this] { Capture(); });
  return MMSYSERR_NOERROR;
}

MMRESULT TWaveInDevice::Reset() {
  if (!backend_) return MMSYSERR_INVALHANDLE;
  discard_ = true;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stop_ = true;
  }
  queuedCv_.notify_all();
  if (capture_.joinable()) capture_.join();
  {
    std::lock_guard<std::mutex> lock(mutex_);
    for (TWaveHdr* hdr : queued_) hdr->dwFlags = (hdr->dwFlags & ~WHDR_INQUEUE) | WHDR_DONE;
    queued_.clear();
  }
  done_.TakeAll();
  JoinDelivery();
  return MMSYSERR_NOERROR;
}

MMRESULT TWaveInDevice::Close() {
  if (!backend_) return MMSYSERR_INVALHANDLE;
  Reset();
  backend_->Close();
  backend_.reset();
  return MMSYSERR_NOERROR;
}

void TWaveInDevice::JoinDelivery() {
  if (delivery_) {
    delivery_->Terminate();
    retired_.push_back(std::move(delivery_));
  }
  // Inside one of its handlers a delivery thread cannot end before we
  // return; it ends right after and is joined at the next start or close.
  if (delivering_) return;
  for (auto& d : retired_) d->WaitFor(&owner_);
  retired_.clear();
}

void TWaveInDevice::Capture() {
  for (;;) {
    TWaveHdr* hdr;
    {
      std::unique_lock<std::mutex> lock(mutex_);
      queuedCv_.wait(lock, [&] { return stop_ || !queued_.empty(); });
      if (stop_) return;
      hdr = queued_.front();
    }
    uint32_t got = 0;
    const MMRESULT r = backend_->Read(hdr->lpData, hdr->dwBufferLength, got, stop_);
    if (stop_) return;
    if (r != MMSYSERR_NOERROR) {
      done_.Post(r);
      return;
    }
    {
      std::lock_guard<std::mutex> lock(mutex_);
      queued_.pop_front();
    }
    hdr->dwBytesRecorded = got;
    hdr->dwFlags = (hdr->dwFlags & ~WHDR_INQUEUE) | WHDR_DONE;
    done_.Post(hdr);
  }
}

void TWaveInDevice::Deliver(const TMessage& msg) {
  if (discard_) return;
  delivering_ = true;
  try {
    if (const auto* hdr = std::get_if<TWaveHdr*>(&msg))
      onData_(*hdr);
    else
      onError_(std::get<MMRESULT>(msg));
  } catch (...) {
    // The owner reports its own failures; nothing may reach the delivery thread.
  }
  delivering_ = false;
}
