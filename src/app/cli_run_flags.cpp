// The run options of terravox-cli and how they fill the window's settings.
#include "app/cli_run_flags.h"

#include <cstdlib>
#include <memory>

#include "batch/shard_manifest.h"

#include "batch/tile_quicklook.h"

namespace terravox::cli {

const char* const kRunSynopsis =
    "--input xyz|ascii|grid [--xyz-dir D] [--cell-size S]\n"
    "        [--separator SEP] [--ascii-dir D] [--grid-dir D] [--contour-dir D]\n"
    "        [--contour-start V] [--contour-interval V] [--slope-dir D] [--log FILE]\n"
    "        [--shard K/N [--manifest FILE]] [--jobs N] [--report FILE] [--resume]\n"
    "        [--keep-going] [--submission ID] [--cog-dir D] [--contour-gpkg FILE]\n"
    "        [--quicklook] [--no-hand-over]";

void AddRunFlags(CLI::App& sub, RunFlags& flags) {
  sub.add_option("--input", flags.input,
                 "xyz: XYZ files to ASCII grids to GRIDs; ascii: ASCII grids to\n"
                 "GRIDs; grid: only the extra operations on existing GRIDs")
      ->option_text("KIND");
  sub.add_option("--xyz-dir", flags.xyz_dir, "folder of the XYZ point files")->option_text("D");
  sub.add_option("--cell-size", flags.cell_size,
                 "cell size of the XYZ grids (otherwise derived from the x spacing)")
      ->option_text("S");
  sub.add_option("--separator", flags.separator,
                 "XYZ field separator: Space (default), TAB, or the text itself")
      ->option_text("SEP");
  sub.add_option("--ascii-dir", flags.ascii_dir, "folder of the ESRI ASCII grids")
      ->option_text("D");
  sub.add_option("--grid-dir", flags.grid_dir, "folder of the GRID rasters (needed in every run)")
      ->option_text("D");
  sub.add_option("--contour-dir", flags.contour_dir, "make contour Shapefiles into D")
      ->option_text("D");
  sub.add_option("--contour-start", flags.contour_start,
                 "start value of the contour lines (default 0)")
      ->option_text("V");
  sub.add_option("--contour-interval", flags.contour_interval,
                 "interval between contour lines (default 5)")
      ->option_text("V");
  sub.add_option("--slope-dir", flags.slope_dir, "make slope GRIDs into D")->option_text("D");
  sub.add_option("--log", flags.log, "error log to append to (default /tmp/xyz2ascii.log)")
      ->option_text("FILE");
  sub.add_option("--shard", flags.shard,
                 "take only shard K of N of the tiles (by a hash of the base name);\n"
                 "the log and report get .shard-K in their names, or %K replaced")
      ->option_text("K/N");
  sub.add_option("--manifest", flags.manifest,
                 "with --shard: take the tiles the manifest (plan --manifest) gives\n"
                 "shard K, and the others by the hash")
      ->option_text("FILE");
  sub.add_option("--jobs", flags.jobs, "files worked on at once (default 0: every core)")
      ->option_text("N");
  sub.add_option("--report", flags.report, "write what became of each file, one JSON object a line")
      ->option_text("FILE");
  sub.add_flag("--resume", flags.resume,
               "skip files whose outputs exist, are newer than their input and\n"
               "were recorded as ok in the --report file with the same settings\n"
               "and input; append to it");
  sub.add_flag("--keep-going", flags.keep_going,
               "a file that fails a step holds back only its own later steps:\n"
               "every other file goes through every step; the run then ends\n"
               "stopped, naming the failures");
  sub.add_option("--submission", flags.submission,
                 "the submission this run belongs to, recorded in the report\n"
                 "(scripts/slurm/submit.sh gives each submission its own)")
      ->option_text("ID");
  sub.add_option("--cog-dir", flags.cog_dir,
                 "also write each GRID and slope GRID made as a Cloud-Optimized\n"
                 "GeoTIFF into D (NAME.tif, NAME_slope.tif)")
      ->option_text("D");
  sub.add_option("--contour-gpkg", flags.contour_gpkg,
                 "also put every tile's contour lines into one GeoPackage (needs\n"
                 "--contour-dir; a shard's gets .shard-K in its name, or %K replaced)")
      ->option_text("FILE");
  sub.add_flag("--quicklook", flags.quicklook,
               "draw each tile's pictures for report --html as the run goes, into\n"
               "a folder beside the --report file (REPORT.quicklook)");
  sub.add_flag("--no-hand-over", flags.no_hand_over,
               "read back every grid a step wrote from disk, instead of taking its\n"
               "cells from memory (the outputs are the same either way)");
}

Status ApplyRunFlags(const CLI::App& sub, const RunFlags& flags, HeadlessHost& host, BatchMdl& mdl,
                     RunOptions& options) {
  Settings& v = host.values;
  if (sub.count("--input") == 0)
    return Error(ErrorKind::kOther, "run needs --input xyz|ascii|grid");
  if (flags.input != "xyz" && flags.input != "ascii" && flags.input != "grid") {
    return Error(ErrorKind::kOther, "--input takes xyz, ascii or grid, not " + flags.input);
  }
  v.input_xyz = flags.input == "xyz";
  v.input_ascii = flags.input == "ascii";
  if (sub.count("--cell-size") > 0) {
    v.cell_size_given = true;
    v.cell_size = flags.cell_size;
  }
  v.xyz_folder = flags.xyz_dir;
  v.ascii_folder = flags.ascii_dir;
  v.grid_folder = flags.grid_dir;
  if (sub.count("--contour-dir") > 0) {
    v.run_contour = true;
    v.contour_folder = flags.contour_dir;
  }
  if (sub.count("--contour-start") > 0) v.contour_base = flags.contour_start;
  if (sub.count("--contour-interval") > 0) v.contour_interval = flags.contour_interval;
  if (sub.count("--slope-dir") > 0) {
    v.run_slope = true;
    v.slope_folder = flags.slope_dir;
  }
  mdl.strSeparator = SeparatorFromChoice(flags.separator);

  if (flags.jobs < 0) return Error(ErrorKind::kOther, "--jobs takes 0 or more");
  options.jobs = flags.jobs;
  if (sub.count("--shard") > 0) {
    Result<Shard> shard = ParseShard(flags.shard);
    if (!shard.ok()) return shard.error();
    options.shard = *shard;
    if (!flags.manifest.empty()) {
      Result<LoadedManifest> manifest = ReadShardManifest(flags.manifest);
      if (!manifest.ok()) return manifest.error();
      if (manifest->count != options.shard.count) {
        return Error(ErrorKind::kOther, "the manifest " + flags.manifest + " is for " +
                                            std::to_string(manifest->count) + " shards, not " +
                                            std::to_string(options.shard.count));
      }
      options.shard.manifest = std::make_shared<const ShardManifest>(std::move(manifest->tiles));
    }
  } else if (!flags.manifest.empty()) {
    const CLI::Option* shards = sub.get_option_no_throw("--shards");
    if (shards == nullptr || shards->count() == 0) {
      return Error(ErrorKind::kOther, "--manifest needs --shard K/N");
    }
  }
  if (flags.resume && flags.report.empty()) {
    return Error(ErrorKind::kOther, "--resume needs the --report of the earlier run");
  }
  const std::string log = sub.count("--log") > 0 ? flags.log : std::string(kErrorLogPath);
  options.error_log_path = ShardPath(log, options.shard);
  if (!flags.report.empty()) options.report_path = ShardPath(flags.report, options.shard);
  options.resume = flags.resume;
  options.keep_going = flags.keep_going;
  options.submission = flags.submission;
  options.hand_over_cells = !flags.no_hand_over;
  if (sub.count("--cog-dir") > 0 && flags.cog_dir.empty()) {
    return Error(ErrorKind::kOther, "--cog-dir needs a folder");
  }
  options.cog_dir = flags.cog_dir;
  if (sub.count("--contour-gpkg") > 0) {
    if (flags.contour_gpkg.empty()) return Error(ErrorKind::kOther, "--contour-gpkg needs a file");
    if (!v.run_contour) return Error(ErrorKind::kOther, "--contour-gpkg needs --contour-dir");
    options.contour_gpkg = ShardPath(flags.contour_gpkg, options.shard);
  }
  if (flags.quicklook) {
    if (flags.report.empty()) {
      return Error(ErrorKind::kOther, "--quicklook needs a --report to record the pictures in");
    }
    options.quicklook_folder = QuicklookFolderBeside(options.report_path);
  }
  return Status::Ok();
}

}  // namespace terravox::cli
