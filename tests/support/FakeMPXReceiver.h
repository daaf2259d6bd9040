#pragma once
// The MPX analyzer controller's receiver as plain fields: configured, with
// the calibration offset 0 and scale 1 unless a test changes them.
#include "ui/mpx/MPXController.h"

struct TFakeMPXReceiver final : IMPXReceiver {
  bool IsConfigured = true;
  bool DX = false;
  TCalibration Cal;
  TFakeMPXReceiver() { Cal.MPXScale = 1; }
  bool Configured() const override { return IsConfigured; }
  TCalibration Calibration() const override { return Cal; }
  double CurrentFreq() const override { return 98.5; }
  int32_t Level() const override { return 14; }
  bool SensitivityDX() const override { return DX; }
};
