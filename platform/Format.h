#pragma once
// printf-style formatting into std::string, as the program's texts are built.
#include <cstdarg>
#include <cstdint>
#include <string>

std::string Format(const char* fmt, ...) __attribute__((format(printf, 1, 2)));
std::string FormatV(const char* fmt, va_list args);

// Upper-case hex with at least `digits` digits ("IntToHex").
std::string IntToHex(uint64_t value, int digits);

// Trims spaces and control characters at both ends.
std::string Trim(const std::string& s);
