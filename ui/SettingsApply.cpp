#include "ui/SettingsApply.h"

#include <algorithm>

#include "receiver/DeviceProtocol.h"
#include "receiver/shared.h"

int32_t StopLevelCode(uint8_t SearchStopLevel) {
  return proto::cmdStopLevel0 + std::min<int>(SearchStopLevel, 3);
}

int32_t SpacingCode(uint8_t Spacing) { return proto::cmdSpacing0 + std::min<int>(Spacing, 2); }

int32_t SensitivityCode(bool DX) { return DX ? proto::cmdSensitivityDX : proto::cmdSensitivityLocal; }

int32_t DeEmphasisCode(bool On) { return On ? proto::cmdDeemphasisOn : proto::cmdDeemphasisOff; }

TConfigCodeSet ConfigCodesFromSettings(const TSettingsRecord& Settings) {
  TConfigCodeSet codes{};
  codes[ccMode] = Settings.RBDS ? proto::cmdModeRBDS : proto::cmdModeRDS;
  codes[ccInput] = Settings.InputAntenna ? proto::cmdInputAntenna : proto::cmdInputMPX;
  codes[ccStopLevel] = StopLevelCode(Settings.SearchStopLevel);
  codes[ccSensitivity] = SensitivityCode(Settings.SensitivityDX != 0);
  codes[ccSpacing] = SpacingCode(Settings.Spacing);
  codes[ccDeEmphasis] = DeEmphasisCode(Settings.DeEmphasis != 0);
  return codes;
}

int SearchBandStart(uint8_t SearchStopLevel) {
  static constexpr int kStarts[4] = {3, 5, 7, 10};
  return kStarts[std::min<int>(SearchStopLevel, 3)];
}

namespace {

// One setting changed: tell the receiver, then store the record.
void Change(TSettingsRecord& Settings, const TSettingsOutlet& Out, uint8_t Command) {
  if (Out.Send) Out.Send(Command);
  if (Out.Save) Out.Save(Settings);
}

void SetCode(const TSettingsOutlet& Out, int Index, int32_t Code) {
  if (Out.SetConfigCode) Out.SetConfigCode(Index, Code);
}

}  // namespace

void ApplyRadioSettings(TSettingsRecord& Settings, const TRadioSettingsChoice& Choice, const TSettingsOutlet& Out) {
  // 1. Channel spacing.
  if (Choice.Spacing && *Choice.Spacing != Settings.Spacing && (*Choice.Spacing == 1 || *Choice.Spacing == 2)) {
    Settings.Spacing = *Choice.Spacing;
    Change(Settings, Out, static_cast<uint8_t>(proto::cmdSpacing0 + Settings.Spacing));
  }
  SetCode(Out, ccSpacing, SpacingCode(Settings.Spacing));

  // 2. Search stop level.
  if (Choice.SearchStopLevel && *Choice.SearchStopLevel <= 3 && *Choice.SearchStopLevel != Settings.SearchStopLevel) {
    Settings.SearchStopLevel = *Choice.SearchStopLevel;
    Change(Settings, Out, static_cast<uint8_t>(proto::cmdStopLevel0 + Settings.SearchStopLevel));
  }
  SetCode(Out, ccStopLevel, StopLevelCode(Settings.SearchStopLevel));

  // 3. De-emphasis: its code follows only a change.
  if (Choice.DeEmphasis && *Choice.DeEmphasis != (Settings.DeEmphasis != 0)) {
    Settings.DeEmphasis = *Choice.DeEmphasis ? 1 : 0;
    const int32_t code = DeEmphasisCode(Settings.DeEmphasis != 0);
    if (Out.Send) Out.Send(static_cast<uint8_t>(code));
    SetCode(Out, ccDeEmphasis, code);
    if (Out.Save) Out.Save(Settings);
  }

  // 4. Sensitivity.
  if (Choice.SensitivityDX && *Choice.SensitivityDX != (Settings.SensitivityDX != 0)) {
    Settings.SensitivityDX = *Choice.SensitivityDX ? 1 : 0;
    Change(Settings, Out, static_cast<uint8_t>(SensitivityCode(Settings.SensitivityDX != 0)));
  }
  SetCode(Out, ccSensitivity, SensitivityCode(Settings.SensitivityDX != 0));
}

std::array<double, 5> PresetFrequencies(const TSettingsRecord& Settings) {
  std::array<double, 5> freqs{};
  for (int i = 0; i < 5; ++i) freqs[i] = ChannelIndexToFreq(Settings.Presets[i]);
  return freqs;
}

std::array<std::string, 5> ApplyPresets(TSettingsRecord& Settings, const std::array<double, 5>& Frequencies,
                                        const std::function<void(const TSettingsRecord&)>& Save) {
  std::array<std::string, 5> captions;
  for (int i = 0; i < 5; ++i) {
    const int index = FreqToChannelIndex(Frequencies[i]);
    Settings.Presets[i] = static_cast<uint8_t>(index);
    captions[i] = FormatFreq(ChannelIndexToFreq(index));
  }
  if (Save) Save(Settings);
  return captions;
}
