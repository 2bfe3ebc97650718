// ContourGeoPackage: OGR's GeoPackage driver, one layer with a spatial index and an index on the
// tile's name; each tile's lines copied from its Shapefile (or another GeoPackage) in one
// transaction, after the tile's old lines are deleted.
#include "engine/contour_gpkg.h"

#include <ogr_spatialref.h>
#include <ogrsf_frmts.h>
#include <stdio.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <map>
#include <memory>
#include <system_error>
#include <utility>

#include "core/folder_listing.h"
#include "core/owner_lock.h"
#include "core/paths.h"
#include "core/temporary_name.h"
#include "engine/gdal_scope.h"

namespace terravox::engine {
namespace {

constexpr const char* kIdField = "ID";
constexpr const char* kContourField = "CONTOUR";

// text as an SQL string literal.
std::string SqlText(const std::string& text) {
  std::string quoted = "'";
  for (char c : text) quoted += c == '\'' ? std::string("''") : std::string(1, c);
  return quoted + "'";
}

std::string TileFilter(const std::string& tile) {
  return std::string("\"") + kTileField + "\" = " + SqlText(tile);
}

Result<GDALDatasetUniquePtr> OpenVector(const std::string& path, const char* driver, bool update) {
  const char* const drivers[] = {driver, nullptr};
  GDALDatasetUniquePtr ds(GDALDataset::Open(
      path.c_str(), GDAL_OF_VECTOR | (update ? GDAL_OF_UPDATE : GDAL_OF_READONLY), drivers));
  if (!ds) return GdalErrorScope::LastError("Cannot open " + path);
  return ds;
}

// A new GeoPackage with no layer, made beside path under a temporary name and renamed over it.
Status ReplaceWithEmpty(const std::string& path) {
  GDALDriver* driver = GetGDALDriverManager()->GetDriverByName("GPKG");
  if (driver == nullptr) return EngineError("GDAL has no GeoPackage driver");
  const std::string name = LastPathPiece(path);
  if (!IsPlainName(name)) return EngineError("Not a valid file name: " + path);
  const std::string folder = path.substr(0, path.size() - name.size());
  std::error_code ec;
  if (!std::filesystem::is_directory(folder.empty() ? "." : folder, ec)) {
    return Error(ErrorKind::kPathNotFound, "Path not found: " + folder);
  }
  // Held until the temporary is renamed or removed: a sweep of another run leaves it.
  const std::shared_ptr<const void> owner_lock = HoldOwnerLock(folder.empty() ? "." : folder);
  const std::string temp = folder + NewTemporaryStem() + ".gpkg";
  GDALDatasetUniquePtr ds(driver->Create(temp.c_str(), 0, 0, 0, GDT_Unknown, nullptr));
  if (!ds) return GdalErrorScope::LastError("Cannot create " + path);
  CPLErrorReset();
  ds.reset();
  Status status = Status::Ok();
  if (GdalErrorScope::HasFailure()) {
    status = GdalErrorScope::LastError("Cannot create " + path);
  } else if (::rename(temp.c_str(), path.c_str()) != 0) {
    status = Error::FromErrno(errno);
  }
  if (!status.ok()) ::unlink(temp.c_str());
  return status;
}

bool SameSrs(const OGRSpatialReference* a, const OGRSpatialReference* b) {
  if (a == nullptr || b == nullptr) return a == b;
  const char* const criteria[] = {"IGNORE_DATA_AXIS_TO_SRS_AXIS_MAPPING=YES", nullptr};
  return a->IsSame(b, criteria);
}

// The coordinate system of a GeoPackage's layer; none for its "undefined" systems (srs_id 0 and
// -1), which GDAL reads back as an unknown geographic system, not as none.
const OGRSpatialReference* LayerSrs(GDALDataset& ds, OGRLayer& layer) {
  OGRLayer* found = ds.ExecuteSQL(
      ("SELECT srs_id FROM gpkg_geometry_columns WHERE table_name = " + SqlText(layer.GetName()))
          .c_str(),
      nullptr, nullptr);
  if (found == nullptr) return layer.GetSpatialRef();
  OGRFeatureUniquePtr row(found->GetNextFeature());
  const bool undefined = row != nullptr && row->GetFieldAsInteger64(0) <= 0;
  ds.ReleaseResultSet(found);
  return undefined ? nullptr : layer.GetSpatialRef();
}

// The index of a field the copy needs, or an error naming it.
Result<int> FieldIndex(OGRLayer& layer, const char* field, const std::string& path) {
  const int index = layer.GetLayerDefn()->GetFieldIndex(field);
  if (index < 0) return EngineError("The contours of " + path + " have no field " + field);
  return index;
}

}  // namespace

struct ContourGeoPackage::Impl {
  std::string path;
  GDALDatasetUniquePtr ds;
  OGRLayer* layer = nullptr;  // none until the first tile comes

  // Makes the layer in srs, or checks that the layer there is in srs.
  Status EnsureLayer(const OGRSpatialReference* srs, const std::string& source);
  Status DeleteTile(const std::string& tile);
  Status CopyTile(const std::string& tile, OGRLayer& source, const std::string& source_path);
};

Status ContourGeoPackage::Impl::EnsureLayer(const OGRSpatialReference* srs,
                                            const std::string& source) {
  if (layer != nullptr) {
    if (SameSrs(LayerSrs(*ds, *layer), srs)) return Status::Ok();
    return EngineError("The contours of " + source +
                       " are in another coordinate system than those in " + path);
  }
  CPLStringList options;
  options.SetNameValue("SPATIAL_INDEX", "YES");
  options.SetNameValue("FID", "fid");
  options.SetNameValue("GEOMETRY_NAME", "geom");
  // CreateLayer takes a mutable system it may keep a reference to: it gets a copy of its own.
  struct Releaser {
    void operator()(OGRSpatialReference* copy) const { copy->Release(); }
  };
  std::unique_ptr<OGRSpatialReference, Releaser> copy(srs != nullptr ? srs->Clone() : nullptr);
  OGRLayer* made = ds->CreateLayer(kContourLayer, copy.get(), wkbLineString, options.List());
  if (made == nullptr) return GdalErrorScope::LastError("Cannot create the contour layer");
  OGRFieldDefn tile_field(kTileField, OFTString);
  OGRFieldDefn id_field(kIdField, OFTInteger);
  OGRFieldDefn contour_field(kContourField, OFTReal);
  if (made->CreateField(&tile_field) != OGRERR_NONE ||
      made->CreateField(&id_field) != OGRERR_NONE ||
      made->CreateField(&contour_field) != OGRERR_NONE) {
    return GdalErrorScope::LastError("Cannot create the contour fields");
  }
  // The table and its spatial index exist before the first tile, so every tile's transaction
  // keeps them up to date, even in a run killed before the GeoPackage is closed.
  if (made->SyncToDisk() != OGRERR_NONE) {
    return GdalErrorScope::LastError("Cannot create the contour layer");
  }
  // Replacing a tile looks its lines up by name.
  ds->ExecuteSQL(CPLSPrintf("CREATE INDEX IF NOT EXISTS \"%s_%s\" ON \"%s\"(\"%s\")", kContourLayer,
                            kTileField, kContourLayer, kTileField),
                 nullptr, nullptr);
  if (GdalErrorScope::HasFailure()) return GdalErrorScope::LastError("Cannot index the tiles");
  layer = made;
  return Status::Ok();
}

Status ContourGeoPackage::Impl::DeleteTile(const std::string& tile) {
  if (layer->SetAttributeFilter(TileFilter(tile).c_str()) != OGRERR_NONE) {
    return GdalErrorScope::LastError("Cannot look up the tile " + tile);
  }
  std::vector<GIntBig> old;
  for (const OGRFeatureUniquePtr& feature : *layer) old.push_back(feature->GetFID());
  layer->SetAttributeFilter(nullptr);
  for (GIntBig fid : old) {
    if (layer->DeleteFeature(fid) != OGRERR_NONE) {
      return GdalErrorScope::LastError("Cannot delete the old lines of " + tile);
    }
  }
  return Status::Ok();
}

Status ContourGeoPackage::Impl::CopyTile(const std::string& tile, OGRLayer& source,
                                         const std::string& source_path) {
  Result<int> source_id = FieldIndex(source, kIdField, source_path);
  if (!source_id.ok()) return source_id.error();
  Result<int> source_contour = FieldIndex(source, kContourField, source_path);
  if (!source_contour.ok()) return source_contour.error();
  OGRFeatureDefn* defn = layer->GetLayerDefn();
  const int tile_index = defn->GetFieldIndex(kTileField);
  const int id_index = defn->GetFieldIndex(kIdField);
  const int contour_index = defn->GetFieldIndex(kContourField);
  if (tile_index < 0 || id_index < 0 || contour_index < 0) {
    return EngineError("The layer " + std::string(kContourLayer) + " of " + path +
                       " lacks the fields tile, ID or CONTOUR");
  }

  if (ds->StartTransaction() != OGRERR_NONE) {
    return GdalErrorScope::LastError("Cannot start writing to " + path);
  }
  Status status = DeleteTile(tile);
  for (const OGRFeatureUniquePtr& feature : source) {
    if (!status.ok()) break;
    OGRFeatureUniquePtr line(OGRFeature::CreateFeature(defn));
    line->SetField(tile_index, tile.c_str());
    line->SetField(id_index, feature->GetFieldAsInteger(*source_id));
    line->SetField(contour_index, feature->GetFieldAsDouble(*source_contour));
    line->SetGeometry(feature->GetGeometryRef());
    if (layer->CreateFeature(line.get()) != OGRERR_NONE) {
      status = GdalErrorScope::LastError("Cannot write the contours of " + tile);
    }
  }
  if (status.ok() && ds->CommitTransaction() != OGRERR_NONE) {
    return GdalErrorScope::LastError("Cannot write the contours of " + tile + " to " + path);
  }
  if (!status.ok()) ds->RollbackTransaction();
  return status;
}

ContourGeoPackage::ContourGeoPackage(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
ContourGeoPackage::ContourGeoPackage(ContourGeoPackage&&) noexcept = default;
ContourGeoPackage& ContourGeoPackage::operator=(ContourGeoPackage&&) noexcept = default;
ContourGeoPackage::~ContourGeoPackage() = default;

const std::string& ContourGeoPackage::path() const { return impl_->path; }

Result<ContourGeoPackage> ContourGeoPackage::Open(const std::string& path, bool keep) {
  EnsureGdalRegistered();
  GdalErrorScope scope;
  if (IsGdalVirtualPath(path)) return EngineError("Not a file on disk: " + path);
  std::error_code ec;
  if (!keep || !std::filesystem::exists(path, ec)) {
    if (Status s = ReplaceWithEmpty(path); !s.ok()) return s.error();
  }
  Result<GDALDatasetUniquePtr> ds = OpenVector(path, "GPKG", /*update=*/true);
  if (!ds.ok()) return ds.error();
  auto impl = std::make_unique<Impl>();
  impl->path = path;
  impl->ds = std::move(ds).value();
  impl->layer = impl->ds->GetLayerByName(kContourLayer);
  // SQLite's journal alone keeps a killed run's tiles whole. Forcing each tile to disk as well
  // would cost more than writing it, and no other output of a run is forced either.
  impl->ds->ExecuteSQL("PRAGMA synchronous = OFF", nullptr, nullptr);
  return ContourGeoPackage(std::move(impl));
}

Result<bool> ContourGeoPackage::HasTile(const std::string& tile) {
  GdalErrorScope scope;
  if (impl_->layer == nullptr) return false;
  if (impl_->layer->SetAttributeFilter(TileFilter(tile).c_str()) != OGRERR_NONE) {
    return GdalErrorScope::LastError("Cannot look up the tile " + tile);
  }
  impl_->layer->ResetReading();
  const bool found = OGRFeatureUniquePtr(impl_->layer->GetNextFeature()) != nullptr;
  impl_->layer->SetAttributeFilter(nullptr);
  return found;
}

Status ContourGeoPackage::ReplaceTile(const std::string& tile, const std::string& shp_path) {
  GdalErrorScope scope;
  Result<GDALDatasetUniquePtr> shapefile = OpenVector(shp_path, "ESRI Shapefile", false);
  if (!shapefile.ok()) return shapefile.error();
  OGRLayer* source = (*shapefile)->GetLayer(0);
  if (source == nullptr) return EngineError("The Shapefile " + shp_path + " has no layer");
  if (Status s = impl_->EnsureLayer(source->GetSpatialRef(), shp_path); !s.ok()) return s;
  return impl_->CopyTile(tile, *source, shp_path);
}

Status ContourGeoPackage::MergeFrom(const std::vector<std::string>& inputs) {
  GdalErrorScope scope;
  std::vector<GDALDatasetUniquePtr> opened;
  std::map<std::string, size_t> source_of;  // tile -> input
  for (const std::string& input : inputs) {
    Result<GDALDatasetUniquePtr> ds = OpenVector(input, "GPKG", false);
    if (!ds.ok()) return ds.error();
    if ((*ds)->GetLayerByName(kContourLayer) != nullptr) {
      OGRLayer* names = (*ds)->ExecuteSQL(
          CPLSPrintf("SELECT DISTINCT \"%s\" FROM \"%s\"", kTileField, kContourLayer), nullptr,
          nullptr);
      if (names == nullptr) return GdalErrorScope::LastError("Cannot list the tiles of " + input);
      for (const OGRFeatureUniquePtr& feature : *names) {
        source_of[feature->GetFieldAsString(0)] = opened.size();
      }
      (*ds)->ReleaseResultSet(names);
    }
    opened.push_back(std::move(ds).value());
  }
  std::vector<std::string> tiles;
  tiles.reserve(source_of.size());
  for (const auto& [tile, input] : source_of) tiles.push_back(tile);
  std::sort(tiles.begin(), tiles.end(), FileNameLess);
  for (const std::string& tile : tiles) {
    const size_t input = source_of[tile];
    OGRLayer* source = opened[input]->GetLayerByName(kContourLayer);
    if (Status s = impl_->EnsureLayer(LayerSrs(*opened[input], *source), inputs[input]); !s.ok()) {
      return s;
    }
    if (source->SetAttributeFilter(TileFilter(tile).c_str()) != OGRERR_NONE) {
      return GdalErrorScope::LastError("Cannot look up the tile " + tile + " in " + inputs[input]);
    }
    if (Status s = impl_->CopyTile(tile, *source, inputs[input]); !s.ok()) return s;
  }
  return Status::Ok();
}

Status ContourGeoPackage::Close() {
  GdalErrorScope scope;
  impl_->layer = nullptr;
  CPLErrorReset();
  impl_->ds.reset();
  if (GdalErrorScope::HasFailure()) return GdalErrorScope::LastError("Cannot write " + impl_->path);
  return Status::Ok();
}

}  // namespace terravox::engine
