// The server's own life: stopping it must end its accepting thread whatever
// its connections are doing at that moment.
#include "remote/TcpServer.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <future>
#include <memory>
#include <thread>

#include "support/LoopbackClient.h"

namespace {

// A connection that ends on its own wakes the accepting thread to reap it;
// a stop that comes in that moment must not be taken for that wake and
// lost, leaving Stop waiting for a thread that never looks again.
TEST(TcpServer, StopEndsWhileConnectionsAreEnding) {
  for (int round = 0; round < 1000; ++round) {
    TTcpServer server([](const TConnectionRef&) {}, TTcpServerLimits{});
    server.Start("127.0.0.1", 0);
    const int fd = ConnectFrom("127.0.0.1", "127.0.0.1", server.Port());
    ASSERT_GE(fd, 0);
    usleep(static_cast<useconds_t>(round % 200));  // sweeps the moment of the stop
    auto stopped = std::make_shared<std::promise<void>>();
    std::future<void> done = stopped->get_future();
    std::thread([&server, stopped] {
      server.Stop();
      stopped->set_value();
    }).detach();
    if (done.wait_for(std::chrono::seconds(5)) != std::future_status::ready) {
      ADD_FAILURE() << "Stop did not return (round " << round << ")";
      std::_Exit(1);  // the server cannot be destroyed under its stuck thread
    }
    close(fd);
  }
}

}  // namespace
