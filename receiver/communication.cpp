#include "receiver/communication.h"

#include <cstdio>
#include <cstring>
#include <exception>

#include "receiver/DeviceProtocol.h"

// ---------------------------------------------------------------- TBuffer

namespace {

// A handler that throws must not take the delivery thread (and with it the
// program) down: the failure is reported and the next handler called.
template <typename F>
void Guarded(F&& deliver) {
  try {
    deliver();
  } catch (const std::exception& e) {
    std::fprintf(stderr, "transport handler failed: %s\n", e.what());
  } catch (...) {
    std::fprintf(stderr, "transport handler failed\n");
  }
}

}  // namespace

TBuffer::TBuffer(TCom& owner, TMainThreadInvoker& mainThread) : Owner(owner), MainThread(mainThread) {
  Start();
}

TBuffer::~TBuffer() {
  Terminate();
  WaitFor(&MainThread);
}

void TBuffer::PostData(TArray packet) {
  TMessage msg;
  msg.Packet = std::move(packet);
  Queue.Post(std::move(msg));
}

void TBuffer::PostStatus(uint8_t status) {
  TMessage msg;
  msg.IsStatus = true;
  msg.Status = status & 127;
  Queue.Post(std::move(msg));
}

void TBuffer::TerminatedSet() { Queue.Wake(); }

std::optional<TBuffer::TMessage> TBuffer::TakeNext(bool wait) {
  if (Carry) {
    std::optional<TMessage> msg = std::move(Carry);
    Carry.reset();
    return msg;
  }
  std::optional<TMessage> msg = Queue.Peek();
  if (!msg && wait) msg = Queue.Wait();  // nullopt when woken for termination or a flush
  return msg;
}

void TBuffer::Execute() {
  while (!Terminated()) {
    if (FlushPending.load()) {
      Flush();
      continue;
    }
    std::optional<TMessage> msg = TakeNext(true);
    if (!msg) continue;
    HandleMessage(*msg);
    UpdateBacklog();
  }
}

void TBuffer::Flush() {
  std::deque<TMessage> drained;
  {
    // Under the lock, so the status posted together with the request is
    // already queued and is delivered with this flush.
    // The request is cleared here too: one made while the statuses below are
    // being delivered then starts a flush of its own instead of being lost.
    std::lock_guard<std::mutex> lock(Lock);
    drained = Queue.TakeAll();
    FlushPending.store(false);
  }
  DropPackets(std::move(drained));
  DeliverStatuses();
}

void TBuffer::DropPackets(std::deque<TMessage> drained) {
  if (Carry) drained.push_front(std::move(*Carry));
  Carry.reset();
  uint32_t dropped = 0;
  for (TMessage& m : drained) {
    if (m.IsStatus) PendingStatus.push_back(m.Status);
    else ++dropped;
  }
  delivered_.fetch_add(dropped);
  UpdateBacklog();
}

void TBuffer::HandleMessage(TMessage& msg) {
  if (msg.IsStatus) {
    PendingStatus.push_back(msg.Status);
    DeliverStatuses();
    return;
  }
  // Packets that queued up behind a slow GUI thread go over in one call,
  // still handled one at a time and in order; a status ends the run.
  Current.clear();
  Current.push_back(std::move(msg.Packet));
  while (Current.size() < kMaxRun) {
    std::optional<TMessage> next = Queue.Peek();
    if (!next) break;
    if (next->IsStatus) {
      Carry = std::move(next);
      break;
    }
    Current.push_back(std::move(next->Packet));
  }
  DeliverPackets();
}

void TBuffer::DeliverPackets() {
  size_t handled = 0;
  // Set under the queue's lock when the call has run (or was refused).
  bool finished = false;
  // A status taken from the queue while collecting the packets is the next
  // thing to do: then only the call is waited for.
  const bool haveNext = Carry.has_value();
  // The call is handed over and waited for as by Synchronize; the wait also
  // covers the next message, so the thread sleeps once per packet instead of
  // waking for the call's end and sleeping again for the next packet.
  const TMainThreadInvoker::TCallHandle call = MainThread.Begin(
      [this, &handled] {
        for (; handled < Current.size(); ++handled) {
          // A flush requested meanwhile drops the rest: they were queued before it.
          if (FlushPending.load()) break;
          if (!Owner.HandlersMuted.load()) Owner.DeliverPacketToHandlers(Current[handled]);
          delivered_.fetch_add(1);
        }
        // The backlog is right as soon as the packets are handled, not only
        // when the next one comes.
        if (handled == Current.size()) UpdateBacklog();
      },
      [this, &finished, haveNext] { Queue.SetAndNotify(finished, haveNext); });
  if (call) {
    Queue.WaitForFlag(finished, !haveNext);
    TMainThreadInvoker::Outcome(call);
  }
  // Not handled (flush, or the call cancelled at shut-down): dropped.
  delivered_.fetch_add(static_cast<uint32_t>(Current.size() - handled));
  Current.clear();
}

void TBuffer::DeliverStatuses() {
  if (PendingStatus.empty()) return;
  MainThread.Synchronize([this] {
    if (Owner.HandlersMuted.load()) return;
    for (uint8_t s : PendingStatus) Owner.DeliverStatusToHandlers(s);
  });
  PendingStatus.clear();
}

void TBuffer::UpdateBacklog() { Owner.Backlog.store(Owner.CurrentBacklog()); }

void TBuffer::DrainAfterStop() {
  DropPackets(Queue.TakeAll());
  if (MainThread.IsMainThread()) DeliverStatuses();
  PendingStatus.clear();
  FlushPending.store(false);
}

// ---------------------------------------------------------------- TCom

TCom::TCom(TMainThreadInvoker& mainThread, IClock& clock)
    : MainThread(mainThread), Clock(clock), Buffer(std::make_unique<TBuffer>(*this, mainThread)) {}

TCom::~TCom() { StopDelivery(); }

void TCom::StopDelivery() {
  if (deliveryStopped_) return;
  deliveryStopped_ = true;
  Buffer->Terminate();
  // On the GUI thread this keeps serving the delivery thread's synchronous
  // call, so a delivery in progress can finish instead of deadlocking.
  Buffer->WaitFor(&MainThread);
  Buffer->DrainAfterStop();
}

template <typename T>
void TCom::Toggle(TList<T>& list, const T& method, TPacketTypes types) {
  for (size_t i = list.size(); i-- > 0;) {
    if (list[i]->Method.SameCode(method)) {
      // The entry stays, inactive, with its types. Replaced rather than
      // changed in place: a delivery may be running that very method.
      auto cleared = std::make_shared<TEntry<T>>();
      cleared->Types = list[i]->Types;
      list[i] = std::move(cleared);
      return;
    }
  }
  auto entry = std::make_shared<TEntry<T>>();
  entry->Method = method;
  entry->Types = types;
  list.push_back(std::move(entry));
}

void TCom::RegisterDataHandler(TPacketTypes Types, TOnDataEvent Handler) {
  std::lock_guard<std::mutex> lock(listLock_);
  Toggle(dataHandlers_, Handler, Types);
}

void TCom::RegisterStatusHandler(TOnStatusEvent Handler) {
  std::lock_guard<std::mutex> lock(listLock_);
  Toggle(statusHandlers_, Handler, 0);
}

void TCom::RegisterStatsHandler(TOnStateEvent Handler) {
  std::lock_guard<std::mutex> lock(listLock_);
  Toggle(statsHandlers_, Handler, 0);
}

std::vector<TDataHandler> TCom::DataHandlers() const {
  std::lock_guard<std::mutex> lock(listLock_);
  std::vector<TDataHandler> out;
  for (const auto& e : dataHandlers_) out.push_back({e->Method, e->Types});
  return out;
}

template <typename T>
std::vector<T> TCom::Methods(const TList<T>& list) const {
  std::lock_guard<std::mutex> lock(listLock_);
  std::vector<T> out;
  for (const auto& e : list) out.push_back(e->Method);
  return out;
}

std::vector<TOnStatusEvent> TCom::StatusHandlers() const { return Methods(statusHandlers_); }

std::vector<TOnStateEvent> TCom::StatsHandlers() const { return Methods(statsHandlers_); }

template <typename T, typename F>
void TCom::ForEachActive(const TList<T>& list, F&& call) {
  // Handlers may register or unregister while being called: walk by index
  // and hold each entry while it runs.
  for (size_t i = 0;; ++i) {
    std::shared_ptr<const TEntry<T>> e;
    {
      std::lock_guard<std::mutex> lock(listLock_);
      if (i >= list.size()) break;
      e = list[i];
    }
    if (e->Method) Guarded([&] { call(*e); });
  }
}

bool TCom::IsConnected() { return Connected.load() && !Buffer->FlushPending.load(); }

void TCom::Disconnect() {
  PostStatus(stDisconnected);
  Queued.store(0);
  if (Connected.load()) DisconnectRequest.store(true);
}

void TCom::DeliverPacketToHandlers(const TArray& packet) {
  if (packet.size() < static_cast<size_t>(kStampSize) + 1) return;
  const int length = static_cast<int>(packet.size()) - kStampSize;
  const TState state{CurrentBacklog(), Queued.load(), IntervalMs.load(),
                     dt::StampFromBytes(packet.data() + length), 0};
  ForEachActive(statsHandlers_, [&](const TEntry<TOnStateEvent>& e) { e.Method(state); });
  const uint8_t type = packet[0];
  // Types 16 and up reach no data handler; neither does a packet shorter
  // than its type's layout.
  if (type >= 16 || length < proto::MinPacketLength(type)) return;
  const TPacketTypes bit = static_cast<TPacketTypes>(1u << type);
  const int high = static_cast<int>(packet.size()) - 1;
  ForEachActive(dataHandlers_, [&](const TEntry<TOnDataEvent>& e) {
    if (e.Types & bit) e.Method(packet.data(), high);
  });
}

void TCom::DeliverStatusToHandlers(uint8_t status) {
  ForEachActive(statusHandlers_,
                [&](const TEntry<TOnStatusEvent>& e) { e.Method(static_cast<TStatus>(status)); });
}

int32_t TCom::CurrentBacklog() const {
  // The counters wrap after 2^32 packets (years at the device's rate); their
  // difference modulo 2^32 stays right.
  return static_cast<int32_t>(posted_.load() - Buffer->Delivered());
}

bool TCom::PostPacket(const uint8_t* data, int n) {
  if (n <= 0) return true;  // an empty read carries nothing to deliver
  if (n > kMaxPacketSize) n = kMaxPacketSize;
  if (CurrentBacklog() >= kMaxBacklog || Buffer->FlushPending.load()) {
    dropped_.fetch_add(1);
    return false;
  }
  const int64_t now = Clock.SteadyMs();
  if (!havePacket_) {
    havePacket_ = true;
  } else {
    average_ = 0.05 * static_cast<double>(now - lastPacketMs_) + 0.95 * average_;
    IntervalMs.store(average_);
  }
  lastPacketMs_ = now;
  TArray packet(static_cast<size_t>(n) + kStampSize);
  std::memcpy(packet.data(), data, static_cast<size_t>(n));
  dt::StampToBytes(Clock.Now(), packet.data() + n);
  // Counted before posting, so the delivery thread never runs ahead of it.
  posted_.fetch_add(1);
  Queued.fetch_add(1);
  Backlog.store(CurrentBacklog());
  Buffer->PostData(std::move(packet));
  return true;
}

void TCom::PostStatus(TStatus status) { Buffer->PostStatus(status); }

// ---------------------------------------------------------------- TComUSB

namespace {
constexpr int kReadTimeoutMs = 500;
constexpr int kWriteTimeoutMs = 500;
constexpr int kIdleSleepMs = 100;
}  // namespace

TComUSB::TComUSB(IUsbPipes& pipes, TMainThreadInvoker& mainThread, IClock& clock)
    : TCom(mainThread, clock), Pipes(pipes) {}

TComUSB::~TComUSB() {
  Disconnect();
  Terminate();
  WaitFor();  // the reader never waits for the GUI thread
  StopDelivery();
}

void TComUSB::TerminatedSet() {
  // Cancels a read in flight so the reader sees the request at once; the
  // USB layer's close waits for that read to end.
  std::lock_guard<std::mutex> lock(writeLock_);
  const int r = readPipe_.exchange(-1);
  if (r != -1) Pipes.Close(r);
}

void TComUSB::SleepUnlessTerminated(int ms) {
  if (!Terminated()) Clock.SleepMs(ms);
}

bool TComUSB::OpenPipes() {
  const int w = Pipes.OpenPipe(kReceiverDeviceFilter, kReceiverPipeName, kPipeWrite);
  const int r = Pipes.OpenPipe(kReceiverDeviceFilter, kReceiverPipeName, kPipeRead);
  if (w == -1 || r == -1) {
    Pipes.Close(w);
    Pipes.Close(r);
    return false;
  }
  writePipe_.store(w);
  readPipe_.store(r);
  return true;
}

bool TComUSB::ProbePresent() {
  const int w = Pipes.OpenPipe(kReceiverDeviceFilter, kReceiverPipeName, kPipeWrite);
  const int r = Pipes.OpenPipe(kReceiverDeviceFilter, kReceiverPipeName, kPipeRead);
  Pipes.Close(w);
  Pipes.Close(r);
  return w != -1 && r != -1;
}

void TComUSB::CloseLink() {
  {
    std::lock_guard<std::mutex> lock(writeLock_);
    Pipes.Close(readPipe_.exchange(-1));
    Pipes.Close(writePipe_.exchange(-1));
  }
  DisconnectRequest.store(false);
  PostStatus(stDisconnected);
  Queued.store(0);
  Connected.store(false);
  linkLost_.store(false);
}

void TComUSB::Execute() {
  int64_t lastAttempt = Clock.SteadyMs();
  uint8_t buf[kMaxPacketSize];
  while (!Terminated()) {
    if (readPipe_.load() == -1) {
      if (Clock.SteadyMs() - lastAttempt > ReconnectInterval.load()) {
        lastAttempt = Clock.SteadyMs();
        bool opened;
        {
          std::lock_guard<std::mutex> lock(writeLock_);
          opened = !Terminated() && OpenPipes();
        }
        if (opened) {
          // A request left from before this connection must not end it.
          DisconnectRequest.store(false);
          linkLost_.store(false);
          Connected.store(true);
          PostStatus(stConnected);
        } else {
          SleepUnlessTerminated(kIdleSleepMs);
        }
      } else {
        SleepUnlessTerminated(kIdleSleepMs);
      }
      continue;
    }

    if (linkLost_.load()) {  // a writer found the device gone
      CloseLink();
      continue;
    }

    int n = 0;
    const bool ok = Pipes.Read(readPipe_.load(), buf, kMaxPacketSize, n, kReadTimeoutMs);
    if (Terminated()) break;
    if (ok) {
      if (n > 0 && !PostPacket(buf, n)) SleepUnlessTerminated(kIdleSleepMs);
    } else {
      lastAttempt = Clock.SteadyMs();
      bool present;
      {
        std::lock_guard<std::mutex> lock(writeLock_);
        present = ProbePresent();
      }
      if (present) SleepUnlessTerminated(kIdleSleepMs);
      else CloseLink();
    }

    if (DisconnectRequest.load() && readPipe_.load() != -1) CloseLink();
  }
  CloseLink();
}

bool TComUSB::Write(const uint8_t* Buffer, int High) {
  if (!Buffer || High < 0) return false;
  std::lock_guard<std::mutex> lock(writeLock_);
  const int pipe = writePipe_.load();
  if (!Connected.load() || pipe == -1 || linkLost_.load()) return false;
  const int len = High + 1;
  int count = 0;
  // Only a transfer of every byte counts as written.
  if (Pipes.Write(pipe, Buffer, len, count, kWriteTimeoutMs) && count == len) return true;
  if (!ProbePresent()) {
    // Only the reader closes pipes; it sees this and reports the loss.
    Connected.store(false);
    linkLost_.store(true);
  }
  return false;
}

bool TComUSB::IsConnected() { return TCom::IsConnected(); }

bool TComUSB::Connect() {
  bool opened = false;
  {
    std::lock_guard<std::mutex> lock(writeLock_);
    if (!Connected.load() && readPipe_.load() == -1) {
      opened = OpenPipes();
      if (opened) {
        DisconnectRequest.store(false);
        linkLost_.store(false);
        Connected.store(true);
      }
    }
  }
  if (opened) PostStatus(stConnected);
  else if (!Connected.load()) PostStatus(stUnableToConnect);
  return Connected.load();
}

void TComUSB::Disconnect() { TCom::Disconnect(); }

void TComUSB::ClearBuffer() {
  std::lock_guard<std::mutex> lock(Buffer->Lock);
  Buffer->FlushPending.store(true);
  PostStatus(stStrobe);
}

void TComUSB::Send(const uint8_t* Buffer, int High) { Write(Buffer, High); }
