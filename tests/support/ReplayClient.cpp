#include "support/ReplayClient.h"

#include <QElapsedTimer>
#include <QThread>

#include "ui/SingleInstance.h"

bool TReplayClient::Connect(const std::string& SocketPath, int TimeoutMs) {
  QElapsedTimer t;
  t.start();
  for (;;) {
    socket_.connectToServer(QString::fromStdString(SocketPath));
    if (socket_.waitForConnected(1000)) return true;
    if (t.elapsed() > TimeoutMs) return false;
    QThread::msleep(50);
  }
}

bool TReplayClient::Send(int64_t WParam, int64_t LParam) {
  socket_.write(QByteArray::fromStdString(FormatMessageLine(kRemoteMessageName, WParam, LParam)));
  return socket_.waitForBytesWritten(2000) || socket_.bytesToWrite() == 0;
}

std::vector<TReplayClient::TReply> TReplayClient::Replies(size_t Count, int TimeoutMs) {
  std::vector<TReply> out;
  while (out.size() < Count) {
    if (!socket_.canReadLine() && !socket_.waitForReadyRead(TimeoutMs)) break;
    while (out.size() < Count && socket_.canReadLine()) {
      TMessageLine m;
      if (ParseMessageLine(socket_.readLine().trimmed().toStdString(), m) && m.Name == kRemoteResMessageName)
        out.emplace_back(m.WParam, m.LParam);
    }
  }
  return out;
}

std::vector<TReplayClient::TReply> TReplayClient::Ask(int64_t WParam, int64_t LParam, size_t Count, int TimeoutMs) {
  if (!Send(WParam, LParam)) return {};
  return Replies(Count, TimeoutMs);
}
