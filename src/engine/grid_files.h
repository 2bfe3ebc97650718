// The files of a GRID's folder under the names GDAL's reader tries: each name as the format
// spells it (lower case), else the same name in capitals, as GRIDs copied from some media come.
// No GDAL here: the steps above the engine ask too.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace terravox::engine {

// The files GDAL's reader opens in a GRID's folder (the first tile and its index included), as
// the format spells them.
inline constexpr std::array<std::string_view, 6> kGridComponentFiles = {
    "hdr.adf", "w001001.adf", "w001001x.adf", "dblbnd.adf", "sta.adf", "prj.adf"};

// The path of the file lower_name (for example "hdr.adf") of the GRID at grid: the name itself
// when a lookup finds an entry of that name (a link that leads nowhere included), else the name
// in capitals when one is found, else the name itself. Mixed case is not the reader's: "Hdr.adf"
// is never found.
std::string GridFilePath(const std::string& grid, std::string_view lower_name);

// The block entries of every tile index in the GRID's folder (w001001x.adf, and the w...x.adf
// and z...x.adf of further tiles, in either spelling): 8 bytes each after a 100-byte header.
// 0 when the folder cannot be listed.
int64_t TileIndexEntries(const std::string& grid);

}  // namespace terravox::engine
