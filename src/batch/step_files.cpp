// Shard filter, resume skip and report calls for the steps.
#include "batch/step_files.h"

#include "core/paths.h"
#include "engine/raster_size.h"

namespace terravox {

void KeepShardFiles(const RunOptions& options, FileList& files) {
  if (options.shard.count <= 1) return;
  files.KeepOnly([&](const std::string& name) { return InShard(options.shard, name); });
}

bool AlreadyDone(const RunOptions& options, const char* step, const std::string& input,
                 const std::vector<std::string>& outputs) {
  return options.already_done && options.already_done(step, input, outputs);
}

void ReportSkipped(const RunOptions& options, const char* step, const std::string& input,
                   const std::string& output) {
  ReportFile(options,
             {.step = step, .input = input, .output = output, .outcome = FileOutcome::kSkipped});
}

bool TileFailedEarlier(const RunOptions& options, std::string_view file_name) {
  return options.keep_going && options.tile_failed &&
         options.tile_failed(BaseName(LastPathPiece(file_name)));
}

void ReportFile(const RunOptions& options, const FileRecord& record) {
  if (options.on_file) options.on_file(record);
}

int64_t ReportedCells(const RunOptions& options, const std::string& grid_path) {
  if (options.report_path.empty()) return -1;
  Result<int64_t> cells = engine::RasterCellCount(grid_path);
  return cells.ok() ? *cells : -1;
}

}  // namespace terravox
