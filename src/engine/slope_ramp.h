// The colour ramp of the slope pictures: the engine colours slopes with it, the report page draws
// its legend from it.
#pragma once

#include <array>

namespace terravox::engine {

struct RampStop {
  double degrees;
  unsigned char red, green, blue;
};

// Colours between two stops are blended; slopes past the last stop take its colour.
inline constexpr std::array<RampStop, 7> kSlopeRamp = {{
    {0, 26, 152, 80},
    {5, 145, 207, 96},
    {10, 217, 239, 139},
    {20, 254, 224, 139},
    {30, 252, 141, 89},
    {45, 215, 48, 39},
    {60, 120, 20, 20},
}};

}  // namespace terravox::engine
