#pragma once
// One NMEA 0183 sentence from a GPS receiver, split into its fields, and the
// formatters that turn NMEA coordinates into degrees, minutes and seconds.
#include <string>
#include <vector>

class TGPSMessage {
 public:
  // ID is the sentence identifier without "$" (e.g. "GPRMC"); Text is the
  // sentence body after the identifier, split at commas (fields may be
  // quoted with '"').
  TGPSMessage(std::string ID, const std::string& Text);

  // "GPZDA" 1, "GPGGA" 2, "GPGLL" 3, "GPGSA" 4, "GPGSV" 5, "GPRMC" 6,
  // "GPVTG" 7, "PUBX" 8, anything else 0.
  int MessageType() const;

  // The field at Index (0-based), empty when there is none.
  std::string Field(int Index) const;

  // Position fields of a GPRMC sentence whose status is "A"; empty otherwise.
  std::string Latitude() const;
  std::string LatitudeHemisphere() const;
  std::string Longitude() const;
  std::string LongitudeHemisphere() const;

  std::string ID;
  std::vector<std::string> Fields;

 private:
  std::string PositionField(int Index) const;
};

// Splits Text at Delimiter the way delimited text lists are read: blanks and
// control characters also separate fields (and are dropped around them), a
// field starting with Quote runs to the matching Quote (a doubled Quote is one
// Quote character), a trailing delimiter adds an empty field.
std::vector<std::string> SplitDelimitedText(const std::string& Text, char Delimiter = ',',
                                            char Quote = '"');

// An NMEA latitude "ddmm.mmmm" (at least 9 characters) as Format applied to
// three integers: degrees, minutes and seconds (the minutes' fraction x 60,
// rounded; 60 carries into the minutes). Empty when the text is shorter, is
// not of that form, or when Format is not a format of at most three integer
// conversions.
std::string FormatLatitude(const std::string& Text, const std::string& Format);
// The same for a longitude "dddmm.mmmm" (at least 10 characters).
std::string FormatLongitude(const std::string& Text, const std::string& Format);
