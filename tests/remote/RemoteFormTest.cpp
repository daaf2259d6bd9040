// The remote dialog with a fake host and real clients on loopback: the
// server binds 127.0.0.2, the browser connects from 127.0.0.1.
#include "remote/Remote.h"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <boost/asio/ip/tcp.hpp>
#include <boost/beast/core/buffers_to_string.hpp>
#include <boost/beast/core/flat_buffer.hpp>
#include <boost/beast/websocket.hpp>
#include <future>

#include "FakeRemoteHost.h"
#include "controls/DBCtrlsEx.h"
#include "platform/Format.h"
#include "remote/RemoteAudio.h"
#include "support/FakeClock.h"
#include "support/LoopbackClient.h"
#include "support/Mp3Decode.h"
#include "support/QtApp.h"
#include "support/ToneWaveIn.h"
#include "support/TestPaths.h"

namespace {

using namespace std::chrono_literals;
constexpr const char* kBrowser = "127.0.0.1";
// The ports the dialog's servers listen on: ports the system picks, so
// other servers on this machine do not disturb the tests.
TRemotePorts gPorts;

// Runs Client on a thread of its own while this, the user-interface thread,
// serves the dialog's events.
template <class F>
auto WhileServing(F Client) {
  auto f = std::async(std::launch::async, Client);
  while (f.wait_for(5ms) != std::future_status::ready) QApplication::processEvents();
  return f.get();
}

// Reads until Want has arrived (true) or the socket gives up.
bool ReadUntil(int Fd, std::string& Got, const std::string& Want) {
  char buf[4096];
  while (Got.find(Want) == std::string::npos) {
    const ssize_t n = recv(Fd, buf, sizeof buf, 0);
    if (n <= 0) return false;
    Got.append(buf, n);
  }
  return true;
}

std::string Ask(int Port, const std::string& Request, const std::string& Until, const char* From = kBrowser) {
  const int fd = ConnectFrom(From, "127.0.0.2", Port);
  send(fd, Request.data(), Request.size(), MSG_NOSIGNAL);
  std::string got;
  ReadUntil(fd, got, Until);
  close(fd);
  return got;
}

std::string Msg(const std::string& Text) { return Text + '\0'; }

class RemoteForm : public ::testing::Test {
 protected:
  RemoteForm() {
    EnsureQApplication();
    invoker_ = MakeQtMainThreadInvoker();
    Host.Owner = invoker_.get();
    Host.Capture = ToneCapture();
    Host.Ports = {0, 0, 0};
    Host.Time = &Clock;
    Form = std::make_unique<TRemoteForm>(nullptr, Host, TestBinDir() + "/");
  }
  ~RemoteForm() override { Form.reset(); }

  // Which page "/" + Query gives From: "login", "wrong" (password), "in".
  static std::string Page(const char* From, const std::string& Query) {
    const std::string r =
        WhileServing([=] { return Ask(gPorts.Http, "GET /" + Query + " HTTP/1.0\r\n\r\n", "</html>", From); });
    if (r.find("Wrong password") != std::string::npos) return "wrong";
    if (r.find("- Remote Control</title>") != std::string::npos) return "in";
    return r.find("- Log in</title>") != std::string::npos ? "login" : r;
  }

  void LogIn() { EXPECT_EQ(Page(kBrowser, "?password=740915"), "in"); }
  void StartOrStop() {
    Form->btnStartClick();
    gPorts = Form->Sessions().Ports();
  }

  std::unique_ptr<TMainThreadInvoker> invoker_;
  TFakeClock Clock;
  TFakeRemoteHost Host;
  std::unique_ptr<TRemoteForm> Form;
};

TEST_F(RemoteForm, StartFillsDefaultsAndLocksTheSettings) {
  EXPECT_EQ(Form->windowTitle(), "Remote Control - Quorvane Broadcast Ltd.");
  EXPECT_EQ(Form->lbRemoteConn->text(), "Remote Connection: none");
  // The first MP3 format at or below 32000 Hz.
  EXPECT_EQ(Form->cbCodecs->currentText().toStdString(), TRemoteAudio::EnumerateCodecFormats(0x55, 32000).at(0));
  EXPECT_NE(Form->cbCodecs->currentText().indexOf("56 kBit/s"), -1);
  EXPECT_EQ(Form->cbDevices->currentText(), "Simulated Tone (1 kHz)");
  StartOrStop();
  EXPECT_EQ(Form->edPassword->text(), "740915");
  EXPECT_EQ(Form->btnStart->text(), "Stop");
  EXPECT_FALSE(Form->cbCodecs->isEnabled() || Form->edPassword->isEnabled() || Form->edPort->isEnabled());
  EXPECT_TRUE(Host.Active);
  // The address shown and the playlist name the ports listened on.
  EXPECT_EQ(Form->edRemoteAddr->text().toStdString(), "http://127.0.0.2:" + std::to_string(gPorts.Http) + "/");
  EXPECT_EQ(Form->edPort->Value(), gPorts.Audio);
  std::stringstream playlist;
  ASSERT_TRUE(Form->Resources().FindItem("Fenwisk.m3u")->SaveToStream(playlist));
  EXPECT_EQ(playlist.str(),
            "#EXTM3U\r\n#EXTINF:0,Fenwisk Remote Server\r\nhttp://127.0.0.2:" + std::to_string(gPorts.Audio));
  Form->show();
  SaveScreenshot(Form.get(), "remote_dialog");

  // A remote scan still running at Stop ends there: nobody could end it later.
  Form->Commands().Execute("SCANSTART=1");
  StartOrStop();
  EXPECT_FALSE(Host.Held);
  EXPECT_TRUE(Host.Controls);
  EXPECT_EQ(Form->btnStart->text(), "Start");
  EXPECT_TRUE(Form->edPassword->isEnabled() && Form->cbCodecs->isEnabled());
  EXPECT_FALSE(Host.Active);
  // The HTTP and command ports are not the audio stream's.
  Form->edPort->SetValue(gPorts.Command);
  Form->edPortChange();
  EXPECT_EQ(Form->edPort->Value(), Host.Ports.Audio);
}

TEST_F(RemoteForm, CommandSocketAnswersPushesAndStreamsMp3) {
  StartOrStop();
  LogIn();
  Host.Changes = "PS=CLASSIC&";
  // The audio stream goes to the client while its command socket is open
  // (closing a ready command socket logs it out).
  const auto [got, stream] = WhileServing([] {
    const int fd = ConnectFrom(kBrowser, "127.0.0.2", gPorts.Command);
    const std::string ask = Msg(kPolicyRequest) + Msg("READY=?") + Msg("FREQ=?") + Msg("SENSE=?");
    send(fd, ask.data(), ask.size(), MSG_NOSIGNAL);
    std::string got, stream;
    ReadUntil(fd, got, Msg("PS=CLASSIC&"));
    const int audio = ConnectFrom(kBrowser, "127.0.0.2", gPorts.Audio);
    send(audio, "GET / HTTP/1.0\r\n\r\n", 18, MSG_NOSIGNAL);
    char buf[4096];
    ssize_t n;
    for (const auto until = std::chrono::steady_clock::now() + 2500ms;
         std::chrono::steady_clock::now() < until && (n = recv(audio, buf, sizeof buf, 0)) > 0;)
      stream.append(buf, n);
    close(audio);
    close(fd);
    return std::pair(got, stream);
  });
  EXPECT_EQ(got, SocketPolicy() + Msg("READY=1") + Msg("FREQ=1015") + Msg("SENSE=1") + Msg("PS=CLASSIC&"));
  const size_t body = stream.find("\r\n\r\n");
  EXPECT_EQ(stream.substr(0, 15), "HTTP/1.0 200 OK") << stream.size();
  ASSERT_NE(body, std::string::npos);
  long rate = 0;
  const std::vector<int16_t> pcm = DecodeMp3(std::vector<uint8_t>(stream.begin() + body + 4, stream.end()), rate);
  EXPECT_LE(rate, 32000);
  EXPECT_GT(pcm.size(), size_t(rate / 2));  // more than half a second of tone
}

// A browser's command socket: the same messages, one binary frame each.
class TWsClient {
 public:
  TWsClient() : Ws(Io) {
    namespace ip = boost::asio::ip;
    Ws.next_layer().open(ip::tcp::v4());
    Ws.next_layer().bind({ip::make_address(kBrowser), 0});
    Ws.next_layer().connect({ip::make_address("127.0.0.2"), static_cast<unsigned short>(gPorts.Command)});
    Ws.handshake("127.0.0.2:" + std::to_string(gPorts.Command), "/");
    Ws.binary(true);
  }
  void Send(const std::string& M) { Ws.write(boost::asio::buffer(M)); }
  std::string Next() {
    boost::beast::flat_buffer b;
    Ws.read(b);
    EXPECT_TRUE(Ws.got_binary());
    return boost::beast::buffers_to_string(b.data());
  }
  boost::asio::io_context Io;
  boost::beast::websocket::stream<boost::asio::ip::tcp::socket> Ws;
};

TEST_F(RemoteForm, WebSocketCarriesTheSameMessages) {
  StartOrStop();
  LogIn();
  Host.Changes = "PS=CLASSIC&";
  const auto frames = WhileServing([] {
    TWsClient ws;
    std::vector<std::string> got;
    for (const char* m : {"READY=?", "FREQ=?"}) ws.Send(m);
    for (int i = 0; i < 3; ++i) got.push_back(ws.Next());
    got.push_back(TWsClient().Next());  // a second socket while this one is ready
    return got;
  });
  EXPECT_EQ(frames, (std::vector<std::string>{"READY=1", "FREQ=1015", "PS=CLASSIC&", "503"}));
}

TEST_F(RemoteForm, StopEndsAWorkerWaitingForTheUserInterface) {
  StartOrStop();
  LogIn();
  const int fd = ConnectFrom(kBrowser, "127.0.0.2", gPorts.Command);
  const std::string ask = Msg("READY=?");
  send(fd, ask.data(), ask.size(), MSG_NOSIGNAL);
  std::this_thread::sleep_for(200ms);  // the worker now waits for this thread
  const auto t0 = std::chrono::steady_clock::now();
  StartOrStop();
  EXPECT_LT(std::chrono::steady_clock::now() - t0, 1s);
  char c;
  EXPECT_LE(recv(fd, &c, 1, 0), 0);
  close(fd);
  QApplication::processEvents();  // the cancelled call finds nothing to do
  EXPECT_EQ(Host.Clears, 2);      // Start and Stop only: the command never ran
}

// The session limit ends the session: the client logs in again, and
// another address may take the receiver meanwhile.
TEST_F(RemoteForm, SessionLimitLogsTheClientOut) {
  Form->edTimeout->SetValue(1);
  StartOrStop();
  LogIn();
  std::vector<int> sockets;  // left open: closing a ready one logs out
  const auto ready = [&sockets] {
    sockets.push_back(ConnectFrom(kBrowser, "127.0.0.2", gPorts.Command));
    send(sockets.back(), "READY=?", 8, MSG_NOSIGNAL);
    std::string got;
    ReadUntil(sockets.back(), got, Msg("READY=1"));
    return got;
  };
  EXPECT_EQ(WhileServing(ready), Msg("READY=1"));
  for (const char* left : {"Time Left: 00:30", "Time Left: none"}) {
    Clock.Advance(30000);
    Form->CommandsTimerTimer();
    EXPECT_EQ(Form->lbTimeout->text(), left);
  }
  EXPECT_EQ(Form->lbRemoteConn->text(), "Remote Connection: none");
  EXPECT_EQ(Page(kBrowser, ""), "login");
  EXPECT_EQ(WhileServing(ready), "");
  EXPECT_EQ(Page("127.0.0.3", "?password=740915"), "in");
  for (int fd : sockets) close(fd);
}

// Guessing: after five wrong passwords an address is refused for five
// minutes, the right password too, while others log in as before; the
// dialog shows when and from where.
TEST_F(RemoteForm, WrongPasswordsLockTheAddressOut) {
  StartOrStop();
  for (const char* password : {"040915", "140915", "240915", "340915", "440915", "740915"})
    EXPECT_EQ(Page("127.0.0.3", std::string("?password=") + password), "wrong") << password;
  Form->CommandsTimerTimer();
  const std::string attempt = "\n2026-01-01 12:00:00 from 127.0.0.3";
  EXPECT_EQ(Form->lbFailedLogIns->text().toStdString(), "Failed log-ins: 6" + attempt + attempt + attempt);
  EXPECT_EQ(Page(kBrowser, "?password=740915"), "in");
  Page(kBrowser, "?logout=1");
  Clock.Advance(5 * 60000);
  EXPECT_EQ(Page("127.0.0.3", "?password=740915"), "in");
}

// A connection whose peer has not logged in is ended by the first-request
// time-out whatever it sent: a policy request is answered and a stranger's
// command ignored, and then it goes, not at the log-in time-out.
TEST_F(RemoteForm, ConnectionsNotLoggedInEndAtTheFirstRequestTimeOut) {
  TRemoteLimits limits;
  limits.LoginTimeout = 1h;
  limits.FirstRequestTimeout = 300ms;
  Form.reset();
  Form = std::make_unique<TRemoteForm>(nullptr, Host, TestBinDir() + "/", limits);
  StartOrStop();
  EXPECT_EQ(Page(kBrowser, ""), "login");  // known, not logged in
  const struct {
    const char* From;
    std::string Message, Reply;
  } cases[] = {{kBrowser, Msg(kPolicyRequest), SocketPolicy()}, {"127.0.0.3", Msg("FREQ=?"), ""}};
  for (const auto& c : cases) {
    const auto [reply, end] = WhileServing([&c] {
      const int fd = ConnectFrom(c.From, "127.0.0.2", gPorts.Command);
      send(fd, c.Message.data(), c.Message.size(), MSG_NOSIGNAL);
      std::string got;
      ReadUntil(fd, got, c.Reply);
      // Closed by the server (0), well within the socket's 5 s receive time-out.
      char byte;
      const ssize_t n = recv(fd, &byte, 1, 0);
      close(fd);
      return std::pair(got, n);
    });
    EXPECT_EQ(reply, c.Reply) << c.From;
    EXPECT_EQ(end, 0) << c.From;
  }
}

}  // namespace

// A failed send ends the connection: a ready client that stops reading is
// ended (and so logged out) once its queue is full, instead of holding the
// session forever.
TEST_F(RemoteForm, ReadyClientThatStopsReadingIsEnded) {
  StartOrStop();
  LogIn();
  const int fd = ConnectFrom(kBrowser, "127.0.0.2", gPorts.Command);
  send(fd, "READY=?", 8, MSG_NOSIGNAL);
  EXPECT_TRUE(WhileServing([fd] {
    std::string got;
    return ReadUntil(fd, got, Msg("READY=1"));
  }));
  for (int i = 0; i < 1000 && !Form->Sessions().ActiveClient().IP.empty(); ++i) {
    Host.Changes = std::string(64 * 1024, 'x');
    Form->CommandsTimerTimer();
    if (i % 50 == 0) QTest::qWait(10);
  }
  for (int i = 0; i < 100 && !Form->Sessions().ActiveClient().IP.empty(); ++i) QTest::qWait(10);
  EXPECT_EQ(Form->Sessions().PeerState(kBrowser), TRemoteSessionManager::TPeer::LoggedOut);
  close(fd);
}
