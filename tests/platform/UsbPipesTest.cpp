#include <gtest/gtest.h>

#include "platform/LibUsbPipes.h"

TEST(LibUsbPipes, ParsesDeviceFilterAndPipeName) {
  uint16_t vid = 0, pid = 0;
  ASSERT_TRUE(TLibUsbPipes::ParseDeviceFilter(kReceiverDeviceFilter, vid, pid));
  EXPECT_EQ(vid, 0x04D8);
  EXPECT_EQ(pid, 0x000C);
  ASSERT_TRUE(TLibUsbPipes::ParseDeviceFilter("VID_ABCD&PID_00Ef", vid, pid));
  EXPECT_EQ(vid, 0xABCD);
  EXPECT_EQ(pid, 0x00EF);
  EXPECT_FALSE(TLibUsbPipes::ParseDeviceFilter("vid_04d8", vid, pid));
  EXPECT_FALSE(TLibUsbPipes::ParseDeviceFilter("vid_04g8&pid_000c", vid, pid));
  EXPECT_FALSE(TLibUsbPipes::ParseDeviceFilter("vid_04d&pid_000c", vid, pid));
  EXPECT_FALSE(TLibUsbPipes::ParseDeviceFilter("", vid, pid));

  int ep = 0;
  ASSERT_TRUE(TLibUsbPipes::ParsePipeName(kReceiverPipeName, ep));
  EXPECT_EQ(ep, 1);
  ASSERT_TRUE(TLibUsbPipes::ParsePipeName("\\MCHP_EP15", ep));
  EXPECT_EQ(ep, 15);
  EXPECT_FALSE(TLibUsbPipes::ParsePipeName("\\MCHP_EP", ep));
  EXPECT_FALSE(TLibUsbPipes::ParsePipeName("\\MCHP_EP0", ep));
  EXPECT_FALSE(TLibUsbPipes::ParsePipeName("\\MCHP_EP16", ep));
  EXPECT_FALSE(TLibUsbPipes::ParsePipeName("\\MCHP_EP123", ep));
}

TEST(LibUsbPipes, AbsentDeviceAndUnknownHandlesFailCleanly) {
  TLibUsbPipes usb;
  // No such device on any bus (vendor ffff is reserved).
  EXPECT_EQ(usb.OpenPipe("vid_ffff&pid_fffe", kReceiverPipeName, kPipeRead), -1);
  EXPECT_EQ(usb.OpenPipe("not a filter", kReceiverPipeName, kPipeRead), -1);
  EXPECT_EQ(usb.OpenPipe(kReceiverDeviceFilter, "no endpoint", kPipeRead), -1);
  EXPECT_EQ(usb.OpenPipe(kReceiverDeviceFilter, kReceiverPipeName, 7), -1);
  uint8_t buf[64] = {};
  int count = 99;
  EXPECT_FALSE(usb.Read(42, buf, 64, count, 10));
  EXPECT_EQ(count, 0);
  count = 99;
  EXPECT_FALSE(usb.Write(42, buf, 1, count, 10));
  EXPECT_EQ(count, 0);
  EXPECT_FALSE(usb.Read(-1, buf, 64, count, 10));
  usb.Close(-1);
  usb.Close(42);
}
