// terravox-cli merge-gpkg: the contour GeoPackages of a run's shards merged into one, as the final
// job of a cluster run leaves them.
#include <memory>
#include <string>
#include <vector>

#include "app/cli_common.h"
#include "batch/extra_outputs.h"

namespace terravox::cli {
namespace {

int RunMergeGpkg(const std::vector<std::string>& positional) {
  if (positional.size() < 2) return UsageError("merge-gpkg takes an output and one or more inputs");
  const std::vector<std::string> inputs(positional.begin() + 1, positional.end());
  if (Status s = MergeContourPackages(positional[0], inputs); !s.ok()) {
    PrintError(s.description());
    return kExitFailed;
  }
  return kExitOk;
}

SubcommandRun DefineMergeGpkg(CLI::App& /*sub*/) { return &RunMergeGpkg; }

const bool kRegistered = RegisterSubcommand(
    {"merge-gpkg", "OUT IN...",
     "Merge the contour GeoPackages IN (a run's shards, --contour-gpkg) into OUT, replaced\n"
     "      when whole: every tile's lines once, in tile order.",
     &DefineMergeGpkg});

}  // namespace
}  // namespace terravox::cli
