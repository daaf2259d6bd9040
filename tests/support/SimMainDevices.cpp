#include "support/SimMainDevices.h"

#include "support/ToneWaveIn.h"

TSimMainDevices::TSimMainDevices(std::string exePath, IClock& clock)
    : Receiver(clock), exePath_(std::move(exePath)), clock_(clock), invoker_(MakeQtMainThreadInvoker()) {}

TSimMainDevices::~TSimMainDevices() = default;

void TSimMainDevices::MessageBox(const std::string& text, const std::string& caption, TBoxIcon icon) {
  if (ShowMessageBoxes)
    IMainDevices::MessageBox(text, caption, icon);
  else
    Trace("message", caption + "|" + text);
}

void TSimMainDevices::OpenUrl(const std::string& url) {
  if (OpenUrlsForReal)
    IMainDevices::OpenUrl(url);
  else
    Trace("open", url);
}

void TSimMainDevices::Trace(const std::string& what, const std::string& text) {
  TTraceSink sink;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    traces_.emplace_back(what, text);
    sink = sink_;
  }
  if (sink) sink(what, text);
}

void TSimMainDevices::SetTraceSink(TTraceSink sink) {
  std::lock_guard<std::mutex> lock(mutex_);
  sink_ = std::move(sink);
}

std::vector<std::pair<std::string, std::string>> TSimMainDevices::Traces() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return traces_;
}

std::vector<std::string> TSimMainDevices::TracesOf(const std::string& what) const {
  std::lock_guard<std::mutex> lock(mutex_);
  std::vector<std::string> out;
  for (const auto& [w, t] : traces_)
    if (w == what) out.push_back(t);
  return out;
}

size_t TSimMainDevices::CountOf(const std::string& what, const std::string& text) const {
  std::lock_guard<std::mutex> lock(mutex_);
  size_t n = 0;
  for (const auto& [w, t] : traces_)
    if (w == what && t == text) ++n;
  return n;
}

TRemoteCapture TSimMainDevices::RemoteCapture() { return ToneCapture(); }
