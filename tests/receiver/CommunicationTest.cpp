#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <functional>
#include <memory>
#include <thread>

#include "platform/DateTime.h"
#include "receiver/communication.h"
#include "support/FakeClock.h"
#include "support/HandlerRecorder.h"
#include "support/SimReceiver.h"
#include "support/TestUIThread.h"

using namespace std::chrono_literals;

namespace {

// The fake clock, counting the sleeps begun on it so a test can step time
// one reader-loop iteration at a time.
class TSteppedClock final : public IClock {
 public:
  TFakeClock Fake;
  TDateTime Now() override { return Fake.Now(); }
  int64_t SteadyMs() override { return Fake.SteadyMs(); }
  void SleepMs(int ms) override {
    sleeps_.fetch_add(1);
    Fake.SleepMs(ms);
  }
  int Sleeps() const { return sleeps_.load(); }

 private:
  std::atomic<int> sleeps_{0};
};

bool WaitReal(const std::function<bool()>& pred, std::chrono::milliseconds timeout = 10s) {
  const auto end = std::chrono::steady_clock::now() + timeout;
  while (!pred()) {
    if (std::chrono::steady_clock::now() > end) return false;
    std::this_thread::sleep_for(1ms);
  }
  return true;
}

// A type-1 packet carrying a sequence number in its block data.
std::vector<uint8_t> Seq(int n) {
  return {1, 0x00, 0x00, static_cast<uint8_t>(n >> 8), static_cast<uint8_t>(n), 0, 0, 0x29, 0x97, 0x90, 0, 0};
}

int SeqOf(const std::vector<uint8_t>& packet) { return packet[3] << 8 | packet[4]; }

class TransportTest : public ::testing::Test {
 protected:
  TSteppedClock clock;
  TTestUIThread ui;
  TSimReceiver sim{clock};
  THandlerRecorder rec;
  std::unique_ptr<TComUSB> com;

  void SetUp() override {
    sim.SetStatusIntervalMs(0);  // only the packets a test scripts
    com = std::make_unique<TComUSB>(sim, ui, clock);
  }

  void TearDown() override {
    clock.Fake.ReleaseAll();
    com.reset();
  }

  void OnUI(const std::function<void()>& fn) { ui.Run(fn); }

  // Steps fake time by 100 ms whenever the reader has parked in a sleep,
  // until pred holds. False when limitMs of fake time pass first.
  bool StepUntil(const std::function<bool()>& pred, int64_t limitMs = 5000) {
    int seen = -1;
    for (int64_t advanced = 0;; advanced += 100) {
      if (!WaitReal([&] { return pred() || (clock.Sleeps() > seen && clock.Fake.Sleepers() >= 1); }))
        return pred();
      if (pred()) return true;
      if (advanced >= limitMs) return false;
      seen = clock.Sleeps();
      clock.Fake.Advance(100);
    }
  }

  void StartAndConnect() {
    com->Start();
    ASSERT_TRUE(StepUntil([&] { return com->Connected.load(); }));
  }

  // Waits until the reader has taken every scripted packet, stepping time
  // over the pauses it makes after a dropped packet.
  bool PumpAll(size_t expectedReads) {
    return StepUntil([&] { return sim.PacketsRead() >= expectedReads && sim.ReadsWaiting() > 0; }, 1000000);
  }
};

}  // namespace

TEST_F(TransportTest, ConnectsWithinOneIntervalAndReconnectsAfterUnplug) {
  OnUI([&] { com->RegisterStatusHandler(rec.StatusHandler("S")); });
  com->Start();
  ASSERT_TRUE(StepUntil([&] { return com->Connected.load(); }));
  // The first attempt comes one reconnect interval after the start, at the
  // next 100 ms poll.
  EXPECT_TRUE(clock.SteadyMs() > 2000 && clock.SteadyMs() <= 2100) << clock.SteadyMs();
  EXPECT_EQ(sim.OpenHandles(), 2);  // one write, one read pipe

  sim.Unplug();
  ASSERT_TRUE(rec.WaitForStatuses(2));
  EXPECT_TRUE(WaitReal([&] { return !com->Connected.load(); }));
  EXPECT_FALSE(com->IsConnected());
  EXPECT_EQ(sim.OpenHandles(), 0);  // working and probe pipes all closed

  sim.Plug();
  const int64_t plugged = clock.SteadyMs();
  ASSERT_TRUE(StepUntil([&] { return com->Connected.load(); }));
  EXPECT_LE(clock.SteadyMs() - plugged, 2200);
  ASSERT_TRUE(rec.WaitForStatuses(3));
  EXPECT_EQ(rec.Statuses(), (std::vector<TStatus>{stConnected, stDisconnected, stConnected}));
}

TEST_F(TransportTest, ConnectReportsSuccessOrFailure) {
  OnUI([&] { com->RegisterStatusHandler(rec.StatusHandler("S")); });
  sim.Unplug();
  EXPECT_FALSE(com->Connect());
  sim.Plug();
  EXPECT_TRUE(com->Connect() && com->Connect());  // the second: already connected, nothing new
  ASSERT_TRUE(rec.WaitForStatuses(2));
  EXPECT_EQ(rec.Statuses(), (std::vector<TStatus>{stUnableToConnect, stConnected}));
}

TEST_F(TransportTest, HandlersGetOnlyTheirTypesInRegistrationOrder) {
  OnUI([&] {
    com->RegisterStatsHandler(rec.StatsHandler("T"));
    com->RegisterDataHandler(PacketTypes({1}), rec.DataHandler("A"));
    com->RegisterDataHandler(PacketTypes({1, 2}), rec.DataHandler("B"));
    com->RegisterDataHandler(PacketTypes({3, 6, 15}), rec.DataHandler("C"));
  });
  StartAndConnect();
  sim.EmptyNextReads(3);  // successful reads of nothing are never posted
  const TDateTime readAt = clock.Now();
  std::vector<uint8_t> status(12, 0), scan(6, 0), big(64, 0);
  status[0] = 2;
  scan[0] = 3;
  big[0] = 1;
  big[63] = 0xEE;
  sim.PushPackets({
      Seq(1),                  // 1: A, B
      status,                  // 2: B
      scan,                    // 3: C
      {16, 1, 2, 3},           // type 16: statistics only
      {6},                     // type 6 has no content: C
      {1, 0x10, 0, 0x12, 0x34},  // type 1 cut short: statistics only
      std::vector<uint8_t>(20, 4),  // type 4 needs 49 bytes: statistics only
      big,                     // a full 64-byte read: A, B
  });
  ASSERT_TRUE(rec.WaitForStates(8));
  ASSERT_TRUE(rec.WaitForPackets(7));
  EXPECT_EQ(com->Posted(), 8);

  std::vector<std::string> order;
  for (const auto& e : rec.Events()) order.push_back(e.Handler);
  EXPECT_EQ(order, (std::vector<std::string>{"T", "A", "B", "T", "B", "T", "C", "T", "T", "C", "T", "T",
                                             "T", "A", "B"}));
  // Device bytes then the stamp; High is the index of the stamp's last byte.
  const auto packets = rec.Packets();
  EXPECT_EQ(std::vector<uint8_t>(packets[0].Bytes.begin(), packets[0].Bytes.begin() + 12), Seq(1));
  EXPECT_EQ(dt::StampFromBytes(packets[0].Bytes.data() + 12), readAt);
  EXPECT_EQ((std::vector<int>{packets[0].High, packets[4].High, packets[5].High}), (std::vector<int>{19, 8, 71}));
  EXPECT_EQ(packets[5].Bytes[63], 0xEE);
  for (const auto& st : rec.States()) {
    EXPECT_EQ(st.Time, readAt);
    EXPECT_GE(st.Backlog, 1);  // the packet being delivered counts
  }
  EXPECT_EQ(rec.States().back().Queued, 8);
}

TEST_F(TransportTest, RegistrationTogglesByMethodCodeAlone) {
  THandlerRecorder first, second;
  OnUI([&] {
    com->RegisterDataHandler(PacketTypes({1}), TOnDataEvent(&first, &THandlerRecorder::OnData));
    // The same method of another object: clears the first entry instead.
    com->RegisterDataHandler(PacketTypes({2}), TOnDataEvent(&second, &THandlerRecorder::OnData));
  });
  auto handlers = com->DataHandlers();
  ASSERT_EQ(handlers.size(), 1u);
  EXPECT_FALSE(handlers[0].Handler);
  EXPECT_EQ(handlers[0].Types, PacketTypes({1}));  // the inactive entry keeps its types

  OnUI([&] { com->RegisterDataHandler(PacketTypes({1}), TOnDataEvent(&first, &THandlerRecorder::OnData)); });
  handlers = com->DataHandlers();
  ASSERT_EQ(handlers.size(), 2u);  // a third registration appends again
  EXPECT_TRUE(handlers[1].Handler);

  // The status list toggles the same way.
  OnUI([&] {
    com->RegisterStatusHandler(TOnStatusEvent(&first, &THandlerRecorder::OnStatus));
    com->RegisterStatusHandler(TOnStatusEvent(&first, &THandlerRecorder::OnStatus));
  });
  EXPECT_FALSE(com->StatusHandlers()[0]);

  // A handler that unregisters itself while it runs finishes its call and
  // gets nothing afterwards.
  THandlerRecorder self;
  TOnDataEvent selfHandler = self.DataHandler("self");
  self.SetDataAction([&](const uint8_t*, int) { com->RegisterDataHandler(0, selfHandler); });
  OnUI([&] { com->RegisterDataHandler(PacketTypes({1}), selfHandler); });

  StartAndConnect();
  sim.PushPackets({Seq(1), Seq(2)});
  ASSERT_TRUE(first.WaitForPackets(2));
  // The status handler was unregistered before the connection.
  EXPECT_EQ((std::vector<size_t>{second.PacketCount(), first.StatusCount(), self.PacketCount()}),
            (std::vector<size_t>{0, 0, 1}));
  // The recorders are this test's own: the transport goes before them.
  clock.Fake.ReleaseAll();
  com.reset();
}

TEST_F(TransportTest, AThrowingHandlerDoesNotStopDelivery) {
  THandlerRecorder thrower;
  thrower.SetDataAction([](const uint8_t*, int) { throw std::runtime_error("handler fault"); });
  OnUI([&] {
    com->RegisterDataHandler(PacketTypes({1}), thrower.DataHandler("X"));
    com->RegisterDataHandler(PacketTypes({1}), rec.DataHandler("A"));
    com->RegisterStatusHandler(TOnStatusEvent(std::string("boom"), [](TStatus) { throw 42; }));
    com->RegisterStatusHandler(rec.StatusHandler("S"));
  });
  StartAndConnect();
  sim.PushPackets({Seq(1), Seq(2)});
  ASSERT_TRUE(rec.WaitForPackets(2));
  EXPECT_EQ(thrower.PacketCount(), 2u);
  ASSERT_TRUE(rec.WaitForStatuses(1));
  EXPECT_EQ(rec.Statuses()[0], stConnected);
  OnUI([&] {});  // the UI thread is still serving
  clock.Fake.ReleaseAll();
  com.reset();
}

TEST_F(TransportTest, MutedHandlersGetNothingWhileTheBacklogStillFalls) {
  OnUI([&] {
    com->RegisterStatsHandler(rec.StatsHandler("T"));
    com->RegisterStatusHandler(rec.StatusHandler("S"));
    com->RegisterDataHandler(PacketTypes({1}), rec.DataHandler("A"));
  });
  StartAndConnect();
  ASSERT_TRUE(rec.WaitForStatuses(1));
  rec.Clear();

  com->HandlersMuted = true;
  for (int i = 0; i < 50; ++i) sim.PushPacket(Seq(i));
  com->ClearBuffer();  // its status is not delivered either
  // Packets read while the flush is pending are dropped, each followed by
  // a pause of the reader: time is stepped until it waits for the next read.
  ASSERT_TRUE(StepUntil([&] {
    return com->Posted() + com->Dropped() == 50 && com->Backlog.load() == 0 && sim.ReadsWaiting() > 0;
  }));
  ASSERT_TRUE(WaitReal([&] { return com->IsConnected(); }));
  EXPECT_EQ(rec.PacketCount() + rec.StatusCount() + rec.StateCount(), 0u);

  com->HandlersMuted = false;
  sim.PushPacket(Seq(99));
  ASSERT_TRUE(rec.WaitForPackets(1));
  EXPECT_EQ(SeqOf(rec.Packets()[0].Bytes), 99);
  EXPECT_EQ(rec.StateCount(), 1u);
}

TEST_F(TransportTest, ClearBufferDropsQueuedDataButDeliversQueuedStatusesInOrder) {
  OnUI([&] {
    com->RegisterStatusHandler(rec.StatusHandler("S"));
    com->RegisterDataHandler(PacketTypes({1}), rec.DataHandler("A"));
  });
  StartAndConnect();
  ASSERT_TRUE(rec.WaitForStatuses(1));

  // Packet n's handler holds the UI thread until n is let through.
  std::mutex m;
  std::condition_variable cv;
  int entered = 0, allowed = 0;
  rec.SetDataAction([&](const uint8_t* p, int) {
    std::unique_lock<std::mutex> lock(m);
    entered = p[3] << 8 | p[4];
    cv.notify_all();
    cv.wait(lock, [&] { return allowed >= entered; });
  });
  auto enter = [&](int n) {
    std::unique_lock<std::mutex> lock(m);
    return cv.wait_for(lock, 10s, [&] { return entered == n; });
  };
  auto allow = [&](int n) {
    std::lock_guard<std::mutex> lock(m);
    allowed = n;
    cv.notify_all();
  };
  sim.PushPacket(Seq(1));
  ASSERT_TRUE(enter(1));
  sim.PushPackets({Seq(2), Seq(3)});
  ASSERT_TRUE(WaitReal([&] { return com->Posted() == 3; }));
  // 2 and 3 go over in one batch; the flush comes while 2 is handled.
  allow(1);
  ASSERT_TRUE(enter(2));
  com->Disconnect();  // status 1 queued behind the packets
  com->ClearBuffer();
  EXPECT_TRUE(com->Connected.load());
  EXPECT_FALSE(com->IsConnected());  // until the delivery thread has drained
  allow(99);  // and every later packet

  ASSERT_TRUE(rec.WaitForStatuses(3));
  ASSERT_TRUE(WaitReal([&] { return com->IsConnected(); }));
  EXPECT_EQ(rec.Statuses(), (std::vector<TStatus>{stConnected, stDisconnected, stStrobe}));
  ASSERT_EQ(rec.PacketCount(), 2u) << "the rest of the batch is dropped";
  EXPECT_EQ(SeqOf(rec.Packets()[1].Bytes), 2);
  EXPECT_EQ(com->Backlog.load(), 0);

  // The disconnect request closes the link after the next read.
  sim.PushPacket(Seq(4));
  ASSERT_TRUE(rec.WaitForPackets(3));
  EXPECT_EQ(SeqOf(rec.Packets()[2].Bytes), 4);
  ASSERT_TRUE(rec.WaitForStatuses(4));
  EXPECT_EQ(rec.Statuses()[3], stDisconnected);
  EXPECT_TRUE(WaitReal([&] { return sim.OpenHandles() == 0; }));
}

TEST_F(TransportTest, StalledUIQueuesAtMostAThousandAcrossReconnections) {
  OnUI([&] { com->RegisterDataHandler(PacketTypes({1}), rec.DataHandler("A")); });
  StartAndConnect();
  ui.Stall();
  for (int i = 0; i < 1500; ++i) sim.PushPacket(Seq(i));
  ASSERT_TRUE(PumpAll(1500));
  EXPECT_EQ((std::vector<int64_t>{com->Posted(), com->Dropped(), com->Backlog.load(), com->Queued.load()}),
            (std::vector<int64_t>{1000, 500, 1000, 1000}));

  // A reconnection zeroes Queued, but the packets still undelivered keep
  // counting against the limit.
  sim.Unplug();
  ASSERT_TRUE(WaitReal([&] { return !com->Connected.load(); }));
  sim.Plug();
  ASSERT_TRUE(StepUntil([&] { return com->Connected.load(); }));
  EXPECT_EQ(com->Queued.load(), 0);
  for (int i = 2000; i < 2300; ++i) sim.PushPacket(Seq(i));
  ASSERT_TRUE(PumpAll(1800));
  EXPECT_EQ((std::pair<int64_t, int64_t>(com->Posted(), com->Dropped())), (std::pair<int64_t, int64_t>(1000, 800)));

  ui.Release();
  ASSERT_TRUE(rec.WaitForPackets(1000));
  const auto packets = rec.Packets();
  for (int i = 0; i < 1000; ++i) ASSERT_EQ(SeqOf(packets[static_cast<size_t>(i)].Bytes), i);
  ASSERT_TRUE(WaitReal([&] { return com->Backlog.load() == 0; }));
  sim.PushPacket(Seq(3000));
  ASSERT_TRUE(rec.WaitForPackets(1001));
  EXPECT_EQ(SeqOf(rec.Packets()[1000].Bytes), 3000);
}

TEST_F(TransportTest, DisconnectWhileNotConnectedDoesNotEndTheNextConnection) {
  OnUI([&] {
    com->RegisterStatusHandler(rec.StatusHandler("S"));
    com->RegisterDataHandler(PacketTypes({1}), rec.DataHandler("A"));
  });
  com->Disconnect();  // before the link is up
  StartAndConnect();
  sim.PushPackets({Seq(1), Seq(2), Seq(3)});
  ASSERT_TRUE(rec.WaitForPackets(3));
  ASSERT_TRUE(rec.WaitForStatuses(2));
  EXPECT_TRUE(com->Connected.load() && sim.OpenHandles() == 2);
  EXPECT_EQ(rec.Statuses(), (std::vector<TStatus>{stDisconnected, stConnected}));
}

TEST_F(TransportTest, WritesAreWholeSerialisedAndFailWhenShort) {
  OnUI([&] { com->RegisterStatusHandler(rec.StatusHandler("S")); });
  const uint8_t reset[1] = {0x09};
  EXPECT_FALSE(com->Write(reset, 0));  // not connected: nothing goes out
  EXPECT_EQ(sim.CommandCount(), 0u);

  StartAndConnect();
  EXPECT_TRUE(com->Write(reset, 0));
  EXPECT_FALSE(com->Write(reset, -1));  // nothing to write
  const uint8_t tune[3] = {0x06, 0x29, 0x97};
  sim.PartialNextWrites(1, 2);
  EXPECT_FALSE(com->Write(tune, 2));  // only two of three bytes left
  sim.FailNextWrites(1);
  EXPECT_FALSE(com->Write(tune, 2));
  EXPECT_TRUE(com->Connected.load());  // the probe found the device still there
  EXPECT_TRUE(com->Write(tune, 2));
  EXPECT_EQ(sim.Commands(), (std::vector<std::vector<uint8_t>>{{0x09}, {0x06, 0x29}, {0x06, 0x29, 0x97}}));

  // Two threads sending at once never overlap on the write pipe.
  sim.ClearCommands();
  sim.SetWriteLatency(200us);
  std::thread a([&] {
    for (int i = 0; i < 60; ++i) com->SendBytes({0x06, 0x29, static_cast<uint8_t>(i)});
  });
  for (int i = 0; i < 60; ++i) com->SendBytes({0x20});
  a.join();
  EXPECT_EQ((std::pair<int, size_t>(sim.MaxConcurrentWrites(), sim.CommandCount())), (std::pair<int, size_t>(1, 120)));

  // A failed write whose probe misses the device does not close the pipes
  // under the reader blocked on them: the reader closes the link itself.
  sim.SetWriteLatency(0us);
  ASSERT_TRUE(sim.WaitForReadsWaiting(1));
  sim.FailNextWrites(1);
  sim.FailNextOpens(1);
  EXPECT_FALSE(com->Write(reset, 0));
  EXPECT_FALSE(com->IsConnected());
  EXPECT_FALSE(com->Write(reset, 0));  // nothing more goes out
  sim.PushPacket(Seq(1));
  ASSERT_TRUE(rec.WaitForStatuses(2));
  EXPECT_TRUE(WaitReal([&] { return sim.OpenHandles() == 0; }));
  EXPECT_EQ(sim.ClosesInFlight(), 0);
  ASSERT_TRUE(StepUntil([&] { return com->Connected.load(); }));

  // A write to a device that is gone fails, and the loss is reported once.
  ASSERT_TRUE(rec.WaitForStatuses(3));
  sim.Unplug();
  EXPECT_FALSE(com->Write(reset, 0));
  ASSERT_TRUE(rec.WaitForStatuses(4));
  EXPECT_TRUE(WaitReal([&] { return sim.OpenHandles() == 0; }));
  EXPECT_TRUE(!com->IsConnected() && sim.ClosesInFlight() == 0);
  EXPECT_EQ(rec.Statuses(),
            (std::vector<TStatus>{stConnected, stDisconnected, stConnected, stDisconnected}));
}

TEST_F(TransportTest, IntervalAverageStartsFromZeroAndSpansAnOutage) {
  OnUI([&] { com->RegisterStatsHandler(rec.StatsHandler("T")); });
  StartAndConnect();
  sim.PushPacket(Seq(1));
  ASSERT_TRUE(rec.WaitForStates(1));
  EXPECT_EQ(rec.States()[0].IntervalMs, 50.0);  // one packet: no interval yet

  clock.Fake.Advance(40);
  sim.PushPacket(Seq(2));
  ASSERT_TRUE(rec.WaitForStates(2));
  EXPECT_DOUBLE_EQ(rec.States()[1].IntervalMs, 0.05 * 40);  // the average starts from 0

  clock.Fake.Advance(100);
  const int64_t thirdMs = clock.SteadyMs();
  sim.PushPacket(Seq(3));
  ASSERT_TRUE(rec.WaitForStates(3));
  const double afterThird = 0.05 * 100 + 0.95 * 2.0;
  EXPECT_DOUBLE_EQ(rec.States()[2].IntervalMs, afterThird);

  sim.Unplug();
  ASSERT_TRUE(WaitReal([&] { return !com->Connected.load(); }));
  sim.Plug();
  ASSERT_TRUE(StepUntil([&] { return com->Connected.load(); }));
  const int64_t fourthMs = clock.SteadyMs();
  sim.PushPacket(Seq(4));
  ASSERT_TRUE(rec.WaitForStates(4));
  // Measured from the last packet before the outage.
  EXPECT_DOUBLE_EQ(rec.States()[3].IntervalMs, 0.05 * static_cast<double>(fourthMs - thirdMs) + 0.95 * afterThird);
  EXPECT_EQ(rec.States()[3].Queued, 1);
}

// ---- Shut-down, on the real clock ----

TEST(TransportShutdown, JoinsEveryThreadWithTrafficFlowing) {
  TTestUIThread ui;
  TSimReceiver sim(SystemClock());
  sim.SetStatusIntervalMs(1);
  THandlerRecorder rec;
  auto com = std::make_unique<TComUSB>(sim, ui, SystemClock());
  com->ReconnectInterval = 0;
  ui.Run([&] { com->RegisterDataHandler(PacketTypes({2}), rec.DataHandler("A")); });
  com->Start();
  ASSERT_TRUE(rec.WaitForPackets(20));
  // Reader blocked in a read, delivery thread busy: both end.
  com.reset();
  EXPECT_EQ(sim.OpenHandles() + sim.ReadsWaiting(), 0);
}

TEST(TransportShutdown, DestroyedOnTheUIThreadWhileADeliveryWaitsForIt) {
  TTestUIThread ui;
  TSimReceiver sim(SystemClock());
  sim.SetStatusIntervalMs(0);
  THandlerRecorder rec;
  rec.SetDataAction([](const uint8_t*, int) { std::this_thread::sleep_for(200us); });
  auto com = std::make_unique<TComUSB>(sim, ui, SystemClock());
  com->ReconnectInterval = 0;
  ui.Run([&] { com->RegisterDataHandler(PacketTypes({1}), rec.DataHandler("A")); });
  com->Start();
  ASSERT_TRUE(WaitReal([&] { return com->Connected.load(); }));
  for (int i = 0; i < 400; ++i) sim.PushPacket(Seq(i));
  ASSERT_TRUE(rec.WaitForPackets(5));
  // The delivery thread is waiting for the UI thread, which now runs the
  // destructor: it must keep serving instead of waiting for that thread.
  ui.Run([&] { com.reset(); });
  EXPECT_EQ(com, nullptr);
  const auto packets = rec.Packets();
  for (size_t i = 0; i < packets.size(); ++i) ASSERT_EQ(SeqOf(packets[i].Bytes), static_cast<int>(i));
}
