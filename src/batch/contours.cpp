// CreateContours and DelPreShpFile: an old contour Shapefile of the raster's name is deleted,
// then the engine's contours are renamed to that name.
#include "batch/contours.h"

#include <array>
#include <filesystem>
#include <system_error>

#include "core/paths.h"
#include "engine/shapefile_dataset.h"
#include "engine/surface_analyser.h"
#include "engine/workspace_opener.h"

namespace terravox {
namespace {

// The files of a Shapefile that an earlier run may have left; other companions stay.
constexpr std::array<const char*, 5> kOldShapefileExtensions = {".shp", ".shx", ".dbf", ".sbn",
                                                                ".sbx"};

// Deletes path when a lookup finds it as a plain file: hidden files and folders are not found.
Status DeleteIfPlainFile(const std::string& path) {
  namespace fs = std::filesystem;
  const std::string name = LastPathPiece(path);
  if (name.empty() || name[0] == '.') return Status::Ok();
  std::error_code ec;
  fs::file_status status = fs::status(fs::path(path), ec);
  if (status.type() == fs::file_type::not_found) return Status::Ok();
  // A lookup that cannot be answered (a link loop, a folder that may not be searched) is a
  // failure of this step, as a failing deletion is.
  if (ec) return Error::FromErrno(ec.value());
  if (status.type() != fs::file_type::regular) return Status::Ok();
  if (!fs::remove(fs::path(path), ec) && ec) return Error::FromErrno(ec.value());
  return Status::Ok();
}

}  // namespace

void DelPreShpFile(Host& host, const std::string& aFileName) {
  for (const char* extension : kOldShapefileExtensions) {
    if (Status s = DeleteIfPlainFile(aFileName + extension); !s.ok()) {
      // The later extensions are left alone; the contour step goes on regardless.
      host.MsgBox("Del_fail " + s.description());
      return;
    }
  }
}

Status CreateContours(Host& host, const engine::RasterDataset& pRasterDs,
                      const std::string& strExportFolder, double dInterval, double dbase,
                      PreparedContours* prepared) {
  const std::string name = LastPathPiece(pRasterDs.GetDatasetPath());
  DelPreShpFile(host, JoinPath(strExportFolder, name));

  engine::SurfaceAnalyser analyser;
  engine::WorkspaceOpener opener;
  Result<engine::Workspace> workspace = opener.OpenFolder(strExportFolder, 0);
  if (!workspace.ok()) return workspace.status();
  analyser.Environment().SetOutputWorkspace(*workspace);

  Result<engine::ShapefileDataset> contours =
      prepared != nullptr && prepared->has_value()
          ? prepared->Take()
          : analyser.MakeContours(pRasterDs, dInterval, &dbase);
  if (!contours.ok()) return contours.status();
  Status renamed = contours->SetDatasetName(name);
  // The contours under their temporary name would only clutter the folder: nothing names them.
  if (!renamed.ok()) (void)contours->RemoveDataset();
  return renamed;
}

}  // namespace terravox
