// The program: the main block over the receiver's real USB pipes (libusb).
#include <memory>
#include <string>

#include "platform/LibUsbPipes.h"
#include "platform/MainThreadInvoker.h"
#include "ui/MainDevices.h"
#include "ui/Program.h"

namespace {

class TProductDevices final : public IMainDevices {
 public:
  explicit TProductDevices(std::string exePath)
      : exePath_(std::move(exePath)), invoker_(MakeQtMainThreadInvoker()) {}

  IUsbPipes& UsbPipes() override { return pipes_; }
  IClock& Clock() override { return SystemClock(); }
  TMainThreadInvoker& Invoker() override { return *invoker_; }
  std::string ExePath() override { return exePath_; }

 private:
  std::string exePath_;
  TLibUsbPipes pipes_;
  std::unique_ptr<TMainThreadInvoker> invoker_;
};

}  // namespace

int main(int argc, char** argv) {
  return RunProgram(argc, argv, [](const std::string& exePath) -> std::unique_ptr<IMainDevices> {
    return std::make_unique<TProductDevices>(exePath);
  });
}
