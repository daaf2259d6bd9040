#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <thread>

#include "audio/AlsaWaveIn.h"
#include "audio/wvAudioIO.h"
#include "support/TempProgramFolder.h"
#include "support/TestUIThread.h"

namespace {

struct TFakeDevice {
  std::mutex m;
  std::vector<std::pair<uint8_t, bool>> opens;  // device, mapped
  std::atomic<int> reads{0};
  std::atomic<bool> gone{false};
};

class TFakeWaveIn final : public IWaveInBackend {
 public:
  explicit TFakeWaveIn(std::shared_ptr<TFakeDevice> d) : d_(std::move(d)) {}
  MMRESULT Open(uint8_t device, bool mapped, const WAVEFORMATEX&) override {
    std::lock_guard<std::mutex> lock(d_->m);
    d_->opens.push_back({device, mapped});
    return MMSYSERR_NOERROR;
  }
  MMRESULT Read(uint8_t* data, uint32_t size, uint32_t& got, const std::atomic<bool>&) override {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
    if (d_->gone) return MMSYSERR_BADDEVICEID;
    std::memset(data, d_->reads++ & 0xFF, size);
    got = size;
    return MMSYSERR_NOERROR;
  }
  void Close() override {}

 private:
  std::shared_ptr<TFakeDevice> d_;
};

class AudioIn : public ::testing::Test {
 protected:
  void SetUp() override { Make([d = device] { return std::make_unique<TFakeWaveIn>(d); }); }
  void TearDown() override { ui.Run([&] { in.reset(); }); }
  void Make(TWaveInBackendFactory f) {
    ui.Run([&] { in = std::make_unique<TwvAudioIn>(ui, std::move(f)); });
  }
  std::string Activate() {
    std::string error;
    ui.Run([&] {
      try {
        in->SetActive(true);
      } catch (const EACMError& e) {
        error = e.what();
      }
    });
    return error;
  }

  std::shared_ptr<TFakeDevice> device = std::make_shared<TFakeDevice>();
  TTestUIThread ui;
  std::unique_ptr<TwvAudioIn> in;
};

}  // namespace

TEST_F(AudioIn, BufferSizeRules) {
  struct {
    uint16_t bits, channels;
    bool autoAdjust;
    uint32_t size;
    uint32_t opensWith;  // 0: refused
  } cases[] = {
      {16, 2, true, 22050, 22048},  // lowered to whole frames
      {8, 2, true, 22050, 22050},
      {16, 1, false, 22051, 0},  // not whole samples
      {16, 2, true, 3, 0},       // below one frame
  };
  for (const auto& c : cases) {
    ui.Run([&] {
      in->SetFormat(PcmFormat(22050, c.bits, c.channels));
      in->AutoAdjustBufferSize = c.autoAdjust;
      in->SetBufferSize(c.size);
    });
    EXPECT_EQ(Activate(), c.opensWith ? "" : "Invalid input buffer size.") << c.size;
    ui.Run([&] {
      if (c.opensWith) {
        EXPECT_EQ(in->BufferSize(), c.opensWith);
      }
      in->SetActive(false);
    });
  }
  EXPECT_THROW(in->SetBufferCount(1), EACMAudioIOError);
  EXPECT_NO_THROW(in->SetBufferCount(2));
}

TEST_F(AudioIn, DeviceSelection) {
  WAVEFORMATEX mp3{WAVE_FORMAT_MPEGLAYER3, 1, 22050, 7000, 1, 0, 0};
  struct {
    uint8_t id;
    TwvWaveFormat format;
    std::pair<uint8_t, bool> opened;
  } cases[] = {
      {WAVE_MAPPER, PcmFormat(22050, 16, 1), {WAVE_MAPPER, false}},
      {WAVE_MAPPER, TwvWaveFormat(&mp3), {0, true}},
      {3, PcmFormat(22050, 16, 1), {3, false}},
  };
  for (const auto& c : cases) {
    ui.Run([&] {
      in->SetDeviceID(c.id);
      in->SetFormat(c.format);
      in->SetActive(true);
      EXPECT_THROW(in->SetDeviceID(0), EACMAudioIOError);
      in->SetActive(false);
    });
    EXPECT_EQ(device->opens.back(), c.opened);
  }
}

TEST_F(AudioIn, RecordsIntoCirculatingBuffersAndFreesALateOne) {
  int blocks = 0, closes = 0;
  size_t circulating = 0;
  std::vector<std::string> errors;
  ui.Run([&] {
    in->SetBufferCount(3);
    in->SetBufferSize(100);
    in->AfterClose = [&](TwvAudioComponent&) { ++closes; };
    in->OnAudioRecorded = [&](TwvAudioComponent& s, const uint8_t*, uint32_t size) {
      EXPECT_EQ(size, 100u);
      circulating = std::max(circulating, in->Pool().AllocatedCount());
      // The fifth buffer comes back while the others are still out: stop there.
      if (++blocks == 5) in->SetActive(false);
      if (blocks == 2) throw EACMError("handler");  // costs no buffer
    };
    in->SetOnObserverError([&](TwvAudioComponent&, const std::exception& e) { errors.push_back(e.what()); });
  });
  EXPECT_EQ(Activate(), "");
  ASSERT_TRUE(ui.WaitUntil([&] { return !in->Active(); }));
  const int reads = device->reads;
  std::this_thread::sleep_for(std::chrono::milliseconds(30));
  ui.Run([&] {
    EXPECT_EQ(blocks, 5);
    EXPECT_EQ(errors, std::vector<std::string>{"handler"});
    EXPECT_EQ(closes, 1);
    EXPECT_EQ(circulating, 3u);
    EXPECT_EQ(in->QueuedCount(), 0u);
    EXPECT_EQ(in->Pool().AllocatedCount(), 0u);
  });
  EXPECT_EQ(device->reads, reads);  // nothing was queued again
  EXPECT_EQ(Activate(), "");        // and the device opens again
  ui.Run([&] { in->SetActive(false); });  // before the handlers' locals go
}

// An observer that closes the component takes the block with it: the
// recorded-block handler must not see a block whose buffer is gone.
TEST_F(AudioIn, ObserverThatClosesTheComponentEndsTheBlockThere) {
  struct TCloser final : IwvAudioObserver {
    TwvAudioIn* In = nullptr;
    int Blocks = 0;
    void AudioData(const uint8_t*, uint32_t) override {
      ++Blocks;
      In->SetActive(false);
    }
  } closer;
  int handled = 0;
  ui.Run([&] {
    closer.In = in.get();
    in->Attach(&closer);
    in->OnAudioRecorded = [&](TwvAudioComponent&, const uint8_t*, uint32_t) { ++handled; };
  });
  EXPECT_EQ(Activate(), "");
  ASSERT_TRUE(ui.WaitUntil([&] { return !in->Active(); }));
  ui.Run([&] {
    EXPECT_EQ(closer.Blocks, 1);
    EXPECT_EQ(handled, 0);
    EXPECT_EQ(in->Pool().AllocatedCount(), 0u);
    in->Detach(&closer);
  });
}

TEST_F(AudioIn, DeviceDisappearingEndsTheCaptureWithAnError) {
  std::string error;
  std::atomic<int> blocks{0};
  ui.Run([&] {
    in->SetBufferSize(100);
    in->OnAudioRecorded = [&](TwvAudioComponent&, const uint8_t*, uint32_t) { ++blocks; };
    in->OnError = [&](TwvAudioComponent& s, const EACMAudioInError& e) {
      EXPECT_FALSE(in->Active());
      error = e.what();
    };
  });
  EXPECT_EQ(Activate(), "");
  ASSERT_TRUE(ui.WaitUntil([&] { return blocks > 3; }));
  device->gone = true;
  ASSERT_TRUE(ui.WaitUntil([&] { return !error.empty(); }));
  EXPECT_EQ(error, "Error reading from input device.\r\nBad device ID.");
}

TEST_F(AudioIn, AlsaFilePluginDeliversTheFileSamples) {
  TTempProgramFolder folder(false);
  std::vector<uint8_t> raw(11024);  // whole 8-bit stereo frames
  for (size_t i = 0; i < raw.size(); ++i) raw[i] = static_cast<uint8_t>(i * 7 + i / 256);
  std::ofstream(folder.File("in.raw"), std::ios::binary).write(reinterpret_cast<char*>(raw.data()), raw.size());
  const std::string config = "pcm.cap { type file slave.pcm { type null } file \"/dev/null\" format raw infile \"" +
                             folder.File("in.raw") + "\" }";
  Make([config] { return std::make_unique<TAlsaWaveIn>("cap", config); });
  std::vector<uint8_t> got;
  ui.Run([&] {
    in->SetBufferSize(4410);
    in->OnAudioRecorded = [&](TwvAudioComponent&, const uint8_t* d, uint32_t n) {
      got.insert(got.end(), d, d + n);
      if (got.size() >= raw.size()) in->SetActive(false);
    };
  });
  EXPECT_EQ(Activate(), "");
  ASSERT_TRUE(ui.WaitUntil([&] { return !in->Active(); }));
  got.resize(raw.size());
  EXPECT_EQ(got, raw);
}

TEST(BlockPool, ReusesExactOrCloseBlocksOnly) {
  TwvBlockPool pool;
  uint8_t* a = pool.AllocBlock(100);
  uint8_t* b = pool.AllocBlock(150);
  pool.FreeBlock(a);
  pool.FreeBlock(b);
  EXPECT_EQ(pool.AllocBlock(150), b);  // exact
  EXPECT_EQ(pool.AllocBlock(60), a);   // excess 40 < 60
  pool.FreeBlock(a);
  EXPECT_NE(pool.AllocBlock(40), a);  // excess 60 is not below 40
  EXPECT_EQ(pool.AllocatedCount(), 3u);
}
