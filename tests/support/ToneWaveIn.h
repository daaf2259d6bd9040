#pragma once
// A capture device that records a steady 1 kHz tone at the real rate, so the
// remote server's audio path runs without a sound card.
#include "remote/RemoteHost.h"

// The tone as the one capture device.
TRemoteCapture ToneCapture();
