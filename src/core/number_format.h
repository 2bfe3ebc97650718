// Numbers written as the program writes them everywhere: %.15G for doubles, %.7G for singles,
// always with the point; counters as progress captions show them.
#pragma once

#include <string>

namespace terravox {

// %.15G: at most 15 significant digits, no trailing zeros, exponent form "1E-05" / "1E+15"
// below 1e-4 and from 1e15, and zero always as "0" (never "-0").
std::string FormatDouble(double value);
// %.7G for singles.
std::string FormatSingle(float value);
// Appends FormatDouble(value) to out without a temporary string.
void AppendDouble(std::string& out, double value);

// A counter as progress captions show it: decimal with one leading blank, the place of a sign
// (" 3", " 12"; "-3" for a negative value).
std::string FormatCounter(long long value);

}  // namespace terravox
