// FloatCellsDataset: GDAL's MEM driver pointed at memory we own, through its DATAPOINTER option.
#include "engine/float_cells_dataset.h"

#include <cpl_string.h>

#include "engine/gdal_scope.h"

namespace terravox::engine {

Result<GDALDatasetUniquePtr> FloatCellsDataset(const float* cells, int ncols, int nrows,
                                               const std::string& failure) {
  GDALDriver* mem = GetGDALDriverManager()->GetDriverByName("MEM");
  if (mem == nullptr) return EngineError("GDAL's MEM driver is missing");
  GDALDatasetUniquePtr dataset(mem->Create("", ncols, nrows, 0, GDT_Float32, nullptr));
  if (!dataset) return GdalErrorScope::LastError(failure);
  char pointer[64] = {};
  // The band only reads them.
  CPLPrintPointer(pointer, const_cast<float*>(cells), sizeof(pointer));
  CPLStringList options;
  options.SetNameValue("DATAPOINTER", pointer);
  if (dataset->AddBand(GDT_Float32, options.List()) != CE_None) {
    return GdalErrorScope::LastError(failure);
  }
  return dataset;
}

}  // namespace terravox::engine
