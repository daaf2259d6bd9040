// NMEA sentences: fields, message types, position fields and coordinate texts.
#include <gtest/gtest.h>

#include "receiver/GPS_Message.h"

using Fields = std::vector<std::string>;

TEST(GPSMessageTest, TypesAndFields) {
  // The ends of the table, and ids that only look like one.
  const std::pair<const char*, int> types[] = {
      {"GPZDA", 1}, {"GPRMC", 6}, {"PUBX", 8}, {"gprmc", 0}, {"$GPRMC", 0}, {"GPRMC ", 0}, {"", 0}};
  for (const auto& [id, type] : types) EXPECT_EQ(TGPSMessage(id, "").MessageType(), type) << id;

  const TGPSMessage six("GPGLL", "4717.1234,N,00833.9150,E,123519,A");
  ASSERT_EQ(six.Fields.size(), 6u);
  EXPECT_EQ(six.Field(5), "A");
  EXPECT_EQ(six.Field(6), "");
  EXPECT_EQ(six.Field(-1), "");
  EXPECT_TRUE(TGPSMessage("GPZDA", "").Fields.empty());
}

TEST(GPSMessageTest, DelimitedTextRule) {
  // Empty fields are kept, including a trailing one.
  EXPECT_EQ(SplitDelimitedText("a,,b"), (Fields{"a", "", "b"}));
  EXPECT_EQ(SplitDelimitedText("a,b,"), (Fields{"a", "b", ""}));
  EXPECT_EQ(SplitDelimitedText(",,"), (Fields{"", "", ""}));
  // Quoted fields may hold the delimiter; a doubled quote is one quote.
  EXPECT_EQ(SplitDelimitedText("\"x,y\",z"), (Fields{"x,y", "z"}));
  EXPECT_EQ(SplitDelimitedText("\"say \"\"hi\"\"\",2"), (Fields{"say \"hi\"", "2"}));
  EXPECT_EQ(SplitDelimitedText("\"open,end"), (Fields{"open,end"}));
  // Blanks separate fields too, and are dropped around delimiters.
  EXPECT_EQ(SplitDelimitedText("  a , b c\r\n"), (Fields{"a", "b", "c"}));
  EXPECT_EQ(SplitDelimitedText(std::string("a,b\0,c", 6)), (Fields{"a", "b"}));
  EXPECT_TRUE(SplitDelimitedText("").empty());
  EXPECT_TRUE(SplitDelimitedText("   ").empty());
}

TEST(GPSMessageTest, PositionOnlyFromAValidRMC) {
  const std::string body = "123519,A,4807.0380,N,01131.0000,E,022.4,084.4,230394,003.1,W";
  const TGPSMessage valid("GPRMC", body);
  EXPECT_EQ(valid.Latitude(), "4807.0380");
  EXPECT_EQ(valid.LatitudeHemisphere(), "N");
  EXPECT_EQ(valid.Longitude(), "01131.0000");
  EXPECT_EQ(valid.LongitudeHemisphere(), "E");

  const TGPSMessage warning("GPRMC", "123519,V,4807.0380,N,01131.0000,E");
  EXPECT_EQ(warning.Latitude() + warning.LatitudeHemisphere() + warning.Longitude() + warning.LongitudeHemisphere(), "");

  // Same fields in another sentence type, or a body cut short.
  EXPECT_EQ(TGPSMessage("GPGGA", body).Latitude(), "");
  const TGPSMessage shortBody("GPRMC", "123519,A,4807.0380");
  EXPECT_EQ(shortBody.Latitude(), "4807.0380");
  EXPECT_EQ(shortBody.LongitudeHemisphere(), "");
}

TEST(GPSMessageTest, CoordinateTexts) {
  const std::string dms = "%d deg %d' %d\"";
  EXPECT_EQ(FormatLatitude("4717.1234", dms), "47 deg 17' 7\"");  // 0.1234 x 60 = 7.404
  EXPECT_EQ(FormatLatitude("4807.038", "%d %d %d"), "");          // 8 characters
  EXPECT_EQ(FormatLatitude("4807.0380", "%02d:%02d:%02d"), "48:07:02");
  EXPECT_EQ(FormatLongitude("01131.0000", "%03d %02d %02d"), "011 31 00");
  EXPECT_EQ(FormatLongitude("0113.10000", "%d"), "");  // dot in the wrong place
  EXPECT_EQ(FormatLongitude("4717.1234", "%d"), "");   // a latitude is too short
  EXPECT_EQ(FormatLatitude("", "%d"), "");
  // Halves round to even: 0.025 x 60 = 1.5 -> 2, 0.075 x 60 = 4.5 -> 4.
  EXPECT_EQ(FormatLatitude("4717.0250", "%d %d %d"), "47 17 2");
  EXPECT_EQ(FormatLatitude("4717.0750", "%d %d %d"), "47 17 4");
  // Seconds that round to 60 carry into the minutes, and on into the degrees.
  EXPECT_EQ(FormatLatitude("4717.9999", "%d %d %d"), "47 18 0");
  EXPECT_EQ(FormatLatitude("4759.9950", "%d %d %d"), "48 0 0");
  EXPECT_EQ(FormatLongitude("17959.99999", "%d %d %d"), "180 0 0");
  // Formats with fewer conversions use only the first values.
  EXPECT_EQ(FormatLatitude("4717.1234", "N%d"), "N47");
  EXPECT_EQ(FormatLatitude("4717.1234", "100%%"), "100%");
}

TEST(GPSMessageTest, MalformedInputGivesEmptyText) {
  // Non-digit fields never throw and never give a half-read value.
  for (const char* lat : {"47x7.1234", "ab17.1234", "4717,1234", "4717.12a4", "4717.1234 ",
                          " 4717.123", "-717.1234", "4717..234", "471712345"}) {
    EXPECT_EQ(FormatLatitude(lat, "%d %d %d"), "") << lat;
  }
  for (const char* lon : {"0113X.0000", "01131.00-0", "+1131.0000", "01131:0000"})
    EXPECT_EQ(FormatLongitude(lon, "%d %d %d"), "") << lon;

  // Formats that do not take three ints are refused instead of reading
  // arguments that are not there.
  for (const char* fmt : {"%s", "%d %s", "%n", "%d%d%d%d", "%ld", "%*d", "%f", "%", "%5"})
    EXPECT_EQ(FormatLatitude("4717.1234", fmt), "") << fmt;
}
