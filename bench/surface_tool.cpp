// surface_tool: the slope and contour steps for one GRID raster, as one
// process, so that the benchmark times them the way it times the peer GDAL
// tools.
//
//   surface_tool GRID_FOLDER_PATH SLOPE_FOLDER CONTOUR_FOLDER INTERVAL
//
// Makes the slope GRID in SLOPE_FOLDER and the contours (base 0) in
// CONTOUR_FOLDER, both named after the raster. Exits 1 when either step fails
// or shows a message.
#include <cstdio>
#include <string>

#include "batch/contours.h"
#include "batch/headless_host.h"
#include "batch/slopes.h"
#include "core/batch_mdl.h"
#include "core/number_parse.h"
#include "engine/raster_dataset.h"

int main(int argc, char** argv) {
  using namespace terravox;
  if (argc != 5) {
    std::fprintf(stderr,
                 "usage: surface_tool GRID_FOLDER_PATH SLOPE_FOLDER "
                 "CONTOUR_FOLDER INTERVAL\n");
    return 2;
  }
  Result<double> interval = ParseDouble(argv[4]);
  if (!interval.ok()) {
    std::fprintf(stderr, "surface_tool: interval: %s\n", interval.error().description().c_str());
    return 2;
  }

  HeadlessHost host;
  bool shown = false;
  host.on_message = [&shown](const std::string& text, const std::string& title) {
    std::fprintf(stderr, "%s: %s\n", title.c_str(), text.c_str());
    shown = true;
  };
  BatchMdl mdl;
  mdl.bRunOk = true;
  const engine::RasterDataset raster(argv[1]);

  Status status = CreateSlopes(host, mdl, raster, argv[2]);
  if (status.ok()) status = CreateContours(host, raster, argv[3], *interval, 0.0);
  if (!status.ok()) {
    std::fprintf(stderr, "surface_tool: %s\n", status.description().c_str());
    return 1;
  }
  return (shown || !mdl.bRunOk) ? 1 : 0;
}
