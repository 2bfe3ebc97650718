// The one number rule for every text-to-number conversion.
//
// A number is the whole text: optional blanks (space or tab), an optional sign, digits with an
// optional decimal point (at least one digit in all), an optional exponent (E or e, an optional
// sign, digits), optional blanks. The decimal separator is always the point.
#pragma once

#include <string>
#include <string_view>

#include "core/status.h"

namespace terravox {

// True when the text reads as a number under the rule above.
bool IsNumber(std::string_view text);

// The text as a double. Type mismatch when it is no number, overflow when it lies beyond the
// double range. A value too small for the type reads as zero of its sign.
Result<double> ParseDouble(std::string_view text);

// The text as a single, rounded once from the text (not through double). Errors as ParseDouble.
Result<float> ParseSingle(std::string_view text);

// As ParseDouble, but throws StepError instead of returning the error: for the hot loops
// whose failures go to a step's handler.
double ParseDoubleOrThrow(std::string_view text);

// Whether a number's text has a digit other than 0 before its exponent: a value that reads as 0
// in single precision without being written as zero.
bool HasNonZeroDigit(std::string_view text);

}  // namespace terravox
