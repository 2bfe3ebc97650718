// XYZ2ASCII: one gridder call per file of the XYZ folder, with a progress caption for each.
#include "batch/xyz2ascii.h"

#include <filesystem>
#include <system_error>

#include "batch/step_files.h"
#include "core/number_format.h"
#include "core/number_parse.h"
#include "core/paths.h"
#include "gridder/gridder.h"

namespace terravox {
namespace {

// The loop counts files in 16 bits.
constexpr int kMaxFiles = 32767;

// Deletes an earlier output: a regular file (or a link to one) that is not hidden. A hidden name
// such as ".asc" is never found by the lookup and so stays. Nor is the input file deleted when
// the two folders are one and it bears the output's name: the gridder refuses that file instead.
Status DeleteOldOutput(const std::string& path, const std::string& name,
                       const std::string& input_path) {
  namespace fs = std::filesystem;
  if (name.empty() || name[0] == '.') return Status::Ok();
  std::error_code ec;
  if (!fs::is_regular_file(fs::path(path), ec)) return Status::Ok();
  if (fs::equivalent(fs::path(path), fs::path(input_path), ec)) return Status::Ok();
  if (!fs::remove(fs::path(path), ec) && ec) return Error::FromErrno(ec.value());
  return Status::Ok();
}

}  // namespace

Status XYZ2ASCII(Host& host, BatchMdl& mdl, const RunOptions& options) {
  std::string ascii_folder = host.AsciiFolder();
  FileList& files = host.FolderList();
  if (Status s = files.SetPath(host.XyzFolder()); !s.ok()) return s;
  KeepShardFiles(options, files);
  if (files.ListCount() > kMaxFiles) return Error(ErrorKind::kOverflow);
  int count = files.ListCount();
  for (int i = 0; i < count; ++i) {
    host.SetStatus("Running : XYZ-->ASCII(" + FormatCounter(i + 1) + "/" +
                   FormatCounter(files.ListCount()) + ")   " + files.List(i));
    host.Repaint();
    const std::string& name = files.List(i);
    std::string xyz_path = JoinPath(host.XyzFolder(), name);
    std::string output_name = BaseName(name) + ".asc";
    std::string asc_path = JoinPath(ascii_folder, output_name);
    if (SkipIfDone(options, kStepXyz2Ascii, xyz_path, {asc_path}, asc_path)) continue;
    FileClock clock;
    if (Status s = DeleteOldOutput(asc_path, output_name, xyz_path); !s.ok()) return s;
    // Each file's failure is handled inside the gridder; only an unwritable log escapes. The
    // flag of its own tells this file's outcome apart from an earlier file's.
    const bool run_ok = mdl.bRunOk;
    mdl.bRunOk = true;
    GridFigures figures;
    Status converted = ConvertXyzFile(xyz_path, asc_path, host, mdl, options, &figures);
    const bool file_ok = mdl.bRunOk;
    mdl.bRunOk = run_ok && file_ok;
    if (!converted.ok()) return converted;
    ReportFile(options, {.step = kStepXyz2Ascii,
                         .input = xyz_path,
                         .output = asc_path,
                         .outcome = file_ok ? FileOutcome::kOk : FileOutcome::kFailed,
                         .error = figures.error,
                         .seconds = clock.Seconds(),
                         .points = figures.points,
                         .cells = figures.cells});
  }
  return Status::Ok();
}

}  // namespace terravox
