#include "ui/PrintStamp.h"

#include "platform/Format.h"
#include "receiver/shared.h"

std::string StampText(TDateTime t) {
  const dt::TDateParts p = dt::Decode(t);
  return Format(", %02d %s %04d - %02d:%02d:%02d", p.Day, MonthNames[(p.Month + 11) % 12], p.Year, p.Hour,
                p.Minute, p.Second);
}
