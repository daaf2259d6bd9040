#pragma once
// The date stamp that the analyzers' printed pages end their description with.
#include <string>

#include "platform/DateTime.h"

// ", dd mmm yyyy - hh:nn:ss"
std::string StampText(TDateTime t);
