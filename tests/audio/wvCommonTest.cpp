#include <gtest/gtest.h>

#include <cstring>

#include "audio/wvCommon.h"

TEST(WaveFormat, CbSizeLimitAndCopyLength) {
  TwvWaveFormat f;
  EXPECT_EQ(f.AvgBytesPerSec(), 22050u);
  f.SetCbSize(494);
  EXPECT_EQ(f.CbSize(), 494);
  try {
    f.SetCbSize(495);
    FAIL();
  } catch (const EACMError& e) {
    EXPECT_STREQ(e.what(), "The wave format buffer is too small.");
  }

  // An MP3 format (cbSize 12) followed by bytes that are not part of it.
  uint8_t raw[64];
  std::memset(raw, 0xAB, sizeof raw);
  WAVEFORMATEX mp3{WAVE_FORMAT_MPEGLAYER3, 1, 22050, 7000, 1, 0, 12};
  std::memcpy(raw, &mp3, sizeof mp3);
  f.SetFormat(reinterpret_cast<const WAVEFORMATEX*>(raw));
  EXPECT_EQ(f.FormatBuffer()[29], 0xAB);
  EXPECT_EQ(f.FormatBuffer()[30], 0);

  // Back to PCM: equal to a fresh PCM format, whatever the MP3 left.
  f.SetFormat(PcmFormat(11025, 8, 2).GetWaveFormatEx());
  EXPECT_TRUE(f.Equals(TwvWaveFormat()));

  std::vector<uint8_t> big(600);
  WAVEFORMATEX huge{1, 1, 8000, 8000, 1, 8, 495};
  std::memcpy(big.data(), &huge, sizeof huge);
  EXPECT_THROW(f.SetFormat(reinterpret_cast<const WAVEFORMATEX*>(big.data())), EACMError);
}

TEST(CheckMMResult, MessageTable) {
  struct {
    MMRESULT code;
    const char* context;
    const char* text;
  } cases[] = {
      {9, "Opening", "Opening\r\nAn unexpected error has occurred (code #9)."},
      {1, "", "An unexpected error has occurred (code #1)."},
      {32, "", "The selected audio format is not supported on this machine."},
      {514, "Ctx", "Ctx\r\nCannot perform this action on a header that has not been prepared."},
  };
  for (const auto& c : cases) {
    try {
      CheckMMResult<EACMConversionError>(c.code, c.context);
      ADD_FAILURE() << c.code;
    } catch (const EACMConversionError& e) {
      EXPECT_STREQ(e.what(), c.text);
    }
  }
  EXPECT_NO_THROW(CheckMMResult(0, "Opening"));
}

namespace {

struct TNode final : TwvAudioComponent, IwvAudioSubject {
  TwvWaveFormat format;
  TwvAudioSubject subject{*this, format};
  void Attach(IwvAudioObserver* o) override { subject.Attach(o); }
  void Detach(IwvAudioObserver* o) override { subject.Detach(o); }
  const TwvWaveFormat& GetFormat() const override { return format; }
};

struct TObserver final : IwvAudioObserver {
  std::function<void()> act;
  int calls = 0;
  void AudioData(const uint8_t*, uint32_t) override {
    ++calls;
    if (act) act();
  }
};

}  // namespace

TEST(AudioSubject, DeliveryGoesOnAfterRaisingAndSelfDetaching) {
  TNode node;
  TObserver raising, detaching, last;
  raising.act = [] { throw EACMError("boom"); };
  detaching.act = [&] { node.Detach(&detaching); };
  std::vector<std::string> errors;
  node.subject.OnObserverError = [&](TwvAudioComponent&, const std::exception& e) { errors.push_back(e.what()); };
  for (auto* o : {&raising, &detaching, &last}) node.Attach(o);
  node.subject.NotifyObservers(nullptr, 0);
  EXPECT_EQ(errors, std::vector<std::string>{"boom"});
  EXPECT_EQ(detaching.calls, 1);
  EXPECT_EQ(last.calls, 1);
  EXPECT_EQ(node.subject.ObserverCount(), 2u);
}

TEST(AudioObserver, RefusesItselfAndNonSubjectsAndForgetsFreedSubject) {
  struct TPlain final : TwvAudioComponent {
  } plain;
  struct TOwner final : TwvAudioComponent {
    TwvAudioObserver observer{*this, [](const uint8_t*, uint32_t) {}};
    void Notification(TwvAudioComponent* freed) override { observer.SubjectFreed(freed); }
  } owner;
  for (auto [target, text] : {std::pair<TwvAudioComponent*, const char*>{&owner, "Component cannot observe itself."},
                              {&plain, "The selected component is not an audio subject."}}) {
    try {
      owner.observer.SetSubject(target);
      ADD_FAILURE() << text;
    } catch (const EACMError& e) {
      EXPECT_STREQ(e.what(), text);
    }
  }
  auto node = std::make_unique<TNode>();
  owner.observer.SetSubject(node.get());
  EXPECT_EQ(node->subject.ObserverCount(), 1u);
  node.reset();
  EXPECT_EQ(owner.observer.Subject(), nullptr);
}
