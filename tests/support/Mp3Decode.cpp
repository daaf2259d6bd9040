#include "support/Mp3Decode.h"

#include <gtest/gtest.h>
#include <mpg123.h>

std::vector<int16_t> DecodeMp3(const std::vector<uint8_t>& mp3, long& rate) {
  int err = 0;
  mpg123_handle* mh = mpg123_new(nullptr, &err);
  mpg123_open_feed(mh);
  mpg123_feed(mh, mp3.data(), mp3.size());
  std::vector<int16_t> pcm;
  unsigned char buf[8192];
  int channels = 0, encoding = 0;
  for (;;) {
    size_t done = 0;
    const int r = mpg123_read(mh, buf, sizeof buf, &done);
    if (r == MPG123_NEW_FORMAT) mpg123_getformat(mh, &rate, &channels, &encoding);
    pcm.insert(pcm.end(), reinterpret_cast<int16_t*>(buf), reinterpret_cast<int16_t*>(buf + done));
    if (r != MPG123_OK && r != MPG123_NEW_FORMAT) break;
  }
  mpg123_delete(mh);
  EXPECT_EQ(channels, 1);
  return pcm;
}
