#pragma once
#include <cstdint>
#include <vector>

// Decodes a whole MP3 stream to 16-bit mono samples (expects one channel);
// rate := the stream's sample rate.
std::vector<int16_t> DecodeMp3(const std::vector<uint8_t>& mp3, long& rate);
