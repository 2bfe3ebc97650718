// CreateContours and DelPreShpFile: an old contour Shapefile of the raster's name is deleted,
// then the engine's contours are renamed to that name.
#include "batch/contours.h"

#include "core/paths.h"
#include "engine/shapefile_dataset.h"
#include "engine/shapefile_files.h"
#include "engine/surface_analyser.h"
#include "engine/workspace_opener.h"

namespace terravox {

void DelPreShpFile(Host& host, const std::string& aFileName) {
  // The first failure ends the deleting; the contour step goes on regardless.
  if (Status s = engine::DeleteOldShapefile(aFileName); !s.ok()) {
    host.MsgBox("Del_fail " + s.description());
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
