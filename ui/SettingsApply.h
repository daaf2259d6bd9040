#pragma once
// What the three settings dialogs change, free of any widget: the receiver's
// configuration codes derived from the settings record, and applying a
// confirmed dialog to the record, the receiver and the tuner's code set.
//
// Every change is written through the save function at once, so the CONFIG
// row never lags behind what the receiver was told.
#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "logstore/SettingsRecord.h"

// Positions in the tuner's configuration code set, in the order the codes are
// sent to the receiver.
enum TConfigCodeIndex : int {
  ccMode = 0,
  ccInput = 1,
  ccStopLevel = 2,
  ccSensitivity = 3,
  ccSpacing = 4,
  ccDeEmphasis = 5,
};
using TConfigCodeSet = std::array<int32_t, 6>;

// 0x10 + level; a level beyond 3 counts as 3, so the code never turns into a
// spacing command.
int32_t StopLevelCode(uint8_t SearchStopLevel);
// 0x14 + spacing; a stored spacing beyond 2 (the row's two bits allow 3)
// counts as 2, so the code never turns into the sensitivity command 0x17.
int32_t SpacingCode(uint8_t Spacing);
int32_t SensitivityCode(bool DX);
int32_t DeEmphasisCode(bool On);
// The whole set as the receiver is configured from the settings.
TConfigCodeSet ConfigCodesFromSettings(const TSettingsRecord& Settings);

// Start of the band analyzer's search-level band for stop level 0..3 on the
// receiver's 0..15 scale: 3, 5, 7, 10 (a level beyond 3 counts as 3).
int SearchBandStart(uint8_t SearchStopLevel);

// What the tuner settings dialog has selected; empty where no button of a
// group is checked (a stored value the dialog does not offer).
struct TRadioSettingsChoice {
  std::optional<uint8_t> SearchStopLevel;  // 0..3
  std::optional<uint8_t> Spacing;          // 1 (100 kHz) or 2 (200 kHz)
  std::optional<bool> SensitivityDX;       // false: Local (ATT 6dB)
  std::optional<bool> DeEmphasis;          // false: 50 us, true: 75 us
};

// Where a confirmed dialog's changes go. Unset functions are skipped.
struct TSettingsOutlet {
  std::function<void(uint8_t Command)> Send;               // one command byte to the receiver
  std::function<void(int Index, int32_t Code)> SetConfigCode;  // the tuner's code set
  std::function<void(const TSettingsRecord&)> Save;        // rewrite the CONFIG row
};

// The confirmed tuner settings, in the receiver's order: spacing, stop level,
// de-emphasis, sensitivity. Each change sends its command, updates the record
// and saves at once; then the tuner's code for that setting follows the
// record (the de-emphasis code only when it changed).
void ApplyRadioSettings(TSettingsRecord& Settings, const TRadioSettingsChoice& Choice,
                        const TSettingsOutlet& Out);

// A confirmed presets dialog: each preset becomes the channel index of its
// frequency (clamped to the band), saved once. Returns the preset buttons'
// captions, "%3.1f" of the frequency kept.
std::array<std::string, 5> ApplyPresets(TSettingsRecord& Settings, const std::array<double, 5>& Frequencies,
                                        const std::function<void(const TSettingsRecord&)>& Save);

// The preset frequencies the presets dialog starts from.
std::array<double, 5> PresetFrequencies(const TSettingsRecord& Settings);
