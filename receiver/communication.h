#pragma once
// The packet transport between the program and the receiver.
//
// A reader thread (TComUSB) keeps the USB link open, reads packets and posts
// each one, stamped with its receive time, to a delivery thread (TBuffer).
// The delivery thread hands every packet and every link status to the GUI
// thread synchronously and calls the registered handlers there. Commands go
// the other way through Send.
#include <atomic>
#include <cstdint>
#include <deque>
#include <initializer_list>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include "platform/Clock.h"
#include "platform/DateTime.h"
#include "platform/MainThreadInvoker.h"
#include "platform/MessageQueue.h"
#include "platform/Method.h"
#include "platform/Thread.h"
#include "platform/UsbPipes.h"

// One device packet as read (at most 64 bytes, byte 0 = packet type) followed
// by the 8-byte receive stamp.
using TArray = std::vector<uint8_t>;

// A set of packet types 0..15, bit n = type n.
using TPacketTypes = uint16_t;

constexpr TPacketTypes PacketTypes(std::initializer_list<int> types) {
  TPacketTypes set = 0;
  for (int t : types)
    if (t >= 0 && t < 16) set = static_cast<TPacketTypes>(set | (1u << t));
  return set;
}

enum TStatus : uint8_t {
  stConnected,
  stDisconnected,
  stSocketError,
  stConnectTimeout,
  stDataReceived,
  stConnectionRefused,
  stDisconnectedFromDevice,
  stUnableToConnect,
  stUnknown,
  stBufferOverrun,
  stClearBuffer,
  stStrobe,
};

// Statistics handed to every statistics handler before each packet.
struct TState {
  int32_t Backlog;    // packets posted and not yet delivered
  int32_t Queued;     // packets posted since the last disconnection
  double IntervalMs;  // smoothed interval between packets
  TDateTime Time;     // receive stamp of the packet being delivered
  uint32_t Reserved;  // always 0
};

// Packet = the packet bytes followed by the stamp; High = index of the last
// byte, stamp included (so the device sent High + 1 - 8 bytes).
using TOnDataEvent = TMethod<const uint8_t* /*Packet*/, int /*High*/>;
using TOnStatusEvent = TMethod<TStatus>;
using TOnStateEvent = TMethod<const TState&>;

struct TDataHandler {
  TOnDataEvent Handler;
  TPacketTypes Types = 0;
};

inline constexpr int kStampSize = 8;
inline constexpr int kMaxPacketSize = 64;
// Undelivered packets beyond this are dropped by the reader.
inline constexpr int kMaxBacklog = 1000;

class TCom;

// The delivery thread: takes posted packets and statuses from its queue and
// hands them, one at a time, to the GUI thread.
class TBuffer final : public TThread {
 public:
  TBuffer(TCom& owner, TMainThreadInvoker& mainThread);
  ~TBuffer() override;

  // Any thread: queue a packet (bytes + stamp) or a status byte.
  void PostData(TArray packet);
  void PostStatus(uint8_t status);

  // Guards the flush request (ClearBuffer).
  std::mutex Lock;
  // Set by ClearBuffer; the delivery thread drops every queued packet, keeps
  // the queued statuses, delivers them and clears the flag.
  std::atomic<bool> FlushPending{false};

  // Packets taken from the queue (delivered or dropped by a flush), modulo
  // 2^32; never reset.
  uint32_t Delivered() const { return delivered_.load(); }

  // After the thread has ended: drops every queued packet; queued statuses are
  // delivered when called on the GUI thread, otherwise dropped (a synchronous
  // call from here could wait for a GUI thread that waits for us).
  void DrainAfterStop();

 protected:
  void Execute() override;
  void TerminatedSet() override;

 private:
  struct TMessage {
    bool IsStatus = false;
    uint8_t Status = 0;
    TArray Packet;
  };

  // Most packets handed to the GUI thread in one synchronous call.
  static constexpr size_t kMaxRun = 64;

  std::optional<TMessage> TakeNext(bool wait);
  void Flush();
  // Drops the packets among the messages (a carried status first), counting
  // them as taken; their statuses join PendingStatus in order.
  void DropPackets(std::deque<TMessage> drained);
  void HandleMessage(TMessage& msg);
  void DeliverPackets();
  void DeliverStatuses();
  void UpdateBacklog();

  TCom& Owner;
  TMainThreadInvoker& MainThread;
  std::vector<TArray> Current;         // packets being delivered
  std::optional<TMessage> Carry;       // a status taken while collecting packets
  std::vector<uint8_t> PendingStatus;  // statuses waiting for delivery
  std::atomic<uint32_t> delivered_{0};
  TThreadMessageQueue<TMessage> Queue;
};

// The abstract transport: reader thread, handler lists and statistics.
class TCom : public TThread {
 public:
  TCom(TMainThreadInvoker& mainThread, IClock& clock);
  ~TCom() override;

  // Toggles: a method already in the list (same code, whatever its object) is
  // cleared and its entry stays, inactive; otherwise a new entry is appended.
  // Called on the GUI thread.
  void RegisterDataHandler(TPacketTypes Types, TOnDataEvent Handler);
  void RegisterStatusHandler(TOnStatusEvent Handler);
  void RegisterStatsHandler(TOnStateEvent Handler);

  virtual bool Write(const uint8_t* Buffer, int High) = 0;
  virtual bool IsConnected();
  virtual bool Connect() = 0;
  virtual void Disconnect();
  virtual void ClearBuffer() = 0;
  virtual void Send(const uint8_t* Buffer, int High) = 0;

  // Sends a command given as bytes, e.g. SendBytes({0x06, hi, lo}).
  void SendBytes(std::initializer_list<uint8_t> bytes) {
    Send(bytes.begin(), static_cast<int>(bytes.size()) - 1);
  }

  // While set, no data, status or statistics handler is called; packets are
  // still taken from the queue and counted as delivered.
  std::atomic<bool> HandlersMuted{false};

  // Statistics, readable from any thread.
  std::atomic<bool> Connected{false};
  std::atomic<bool> DisconnectRequest{false};
  std::atomic<int32_t> ReconnectInterval{2000};
  std::atomic<int32_t> Queued{0};   // posted since the last disconnection
  std::atomic<int32_t> Backlog{0};  // posted and not yet delivered
  std::atomic<double> IntervalMs{50.0};

  // Packets posted since creation; never reset, so the backlog stays right
  // across reconnections.
  int32_t Posted() const { return static_cast<int32_t>(posted_.load()); }
  // Packets read but dropped because the backlog was full or a flush pending.
  int32_t Dropped() const { return static_cast<int32_t>(dropped_.load()); }

  // Snapshots of the handler lists (entries stay after unregistering).
  std::vector<TDataHandler> DataHandlers() const;
  std::vector<TOnStatusEvent> StatusHandlers() const;
  std::vector<TOnStateEvent> StatsHandlers() const;

 protected:
  friend class TBuffer;

  // Delivery on the GUI thread (called by TBuffer inside Synchronize).
  void DeliverPacketToHandlers(const TArray& packet);
  void DeliverStatusToHandlers(uint8_t status);

  // Reader side: stamps and posts n bytes, or drops them when the backlog is
  // full or a flush is pending. Returns false when dropped. Empty reads are
  // never posted.
  bool PostPacket(const uint8_t* data, int n);
  void PostStatus(TStatus status);
  // Undelivered packets right now.
  int32_t CurrentBacklog() const;
  // Stops and drains the delivery thread; derived destructors call it after
  // their reader thread has ended.
  void StopDelivery();

  TMainThreadInvoker& MainThread;
  IClock& Clock;
  std::unique_ptr<TBuffer> Buffer;

 private:
  template <typename T>
  struct TEntry {
    T Method;
    TPacketTypes Types = 0;
  };
  template <typename T>
  using TList = std::vector<std::shared_ptr<const TEntry<T>>>;
  template <typename T>
  static void Toggle(TList<T>& list, const T& method, TPacketTypes types);
  // Snapshot of a list's methods (cleared entries included).
  template <typename T>
  std::vector<T> Methods(const TList<T>& list) const;
  // Calls call(entry) for every active entry in order, each guarded so a
  // throwing handler does not stop the others.
  template <typename T, typename F>
  void ForEachActive(const TList<T>& list, F&& call);

  mutable std::mutex listLock_;
  TList<TOnDataEvent> dataHandlers_;
  TList<TOnStatusEvent> statusHandlers_;
  TList<TOnStateEvent> statsHandlers_;

  std::atomic<uint32_t> posted_{0};
  std::atomic<uint32_t> dropped_{0};
  bool deliveryStopped_ = false;

  // Running average of the packet interval; reader thread only.
  int64_t lastPacketMs_ = 0;
  bool havePacket_ = false;
  double average_ = 0;
};

// The transport over the receiver's USB pipes.
class TComUSB final : public TCom {
 public:
  TComUSB(IUsbPipes& pipes, TMainThreadInvoker& mainThread, IClock& clock);
  ~TComUSB() override;

  bool Write(const uint8_t* Buffer, int High) override;
  bool IsConnected() override;
  bool Connect() override;
  void Disconnect() override;
  void ClearBuffer() override;
  void Send(const uint8_t* Buffer, int High) override;

  int WritePipe() const { return writePipe_.load(); }
  int ReadPipe() const { return readPipe_.load(); }

 protected:
  void Execute() override;
  void TerminatedSet() override;

 private:
  // Opens both pipes; on failure closes what opened. Reader thread or Connect.
  bool OpenPipes();
  // Closes the working pipes and reports the link down. Reader thread only.
  void CloseLink();
  // Opens and closes a second pair of pipes: is the device still there?
  bool ProbePresent();
  void SleepUnlessTerminated(int ms);

  IUsbPipes& Pipes;
  // Held around every pipe write, the probe and the closing of the write
  // pipe, so commands never interleave and no pipe closes under a write.
  std::mutex writeLock_;
  std::atomic<int> writePipe_{-1};
  std::atomic<int> readPipe_{-1};
  // A writer found the device gone; the reader closes the link.
  std::atomic<bool> linkLost_{false};
};
