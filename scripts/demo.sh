#!/usr/bin/env bash
# The demo: the whole chain on the bundled sample tiles (examples/*.xyz) through terravox-cli,
# XYZ points -> ASCII grids -> GRIDs -> contour Shapefiles and slope GRIDs, with every GRID also
# as a Cloud-Optimized GeoTIFF and every contour line in one GeoPackage, into a fresh folder
# demo-output/<timestamp>/ (or under OUTPUT_ROOT); GDAL then opens every output, a summary names
# the folder, and the run's report page (report.html, with its pictures) is written there.
#   usage: scripts/demo.sh BUILD_DIR [OUTPUT_ROOT]
set -euo pipefail
build_dir=$(cd "${1:?usage: demo.sh BUILD_DIR}" && pwd)
cd "$(dirname "$0")/.."
cli=$build_dir/src/app/terravox-cli
[ -x "$cli" ] || { echo "demo: $cli is missing; build first" >&2; exit 1; }
# Every file of the XYZ folder is gridded, so examples/ holds the point files and nothing else.
xyz_dir=examples

output_root=${2:-demo-output}
mkdir -p "$output_root"
out_dir=$(mktemp -d "$output_root/$(date +%Y%m%d-%H%M%S)-XXXX")
mkdir -p "$out_dir"/{ascii,grid,contours,slopes,cog}
# Reading with GDAL must not leave .aux.xml files beside the outputs.
export GDAL_PAM_ENABLED=NO

# A contour interval that suits the flattest tile: about ten lines across its relief, rounded
# down to 1, 2 or 5 times a power of ten.
contour_interval() {
  awk '
    /^[#\x27\\\/]/ { next }
    { z = $3 + 0
      if (!(FILENAME in lo) || z < lo[FILENAME]) lo[FILENAME] = z
      if (!(FILENAME in hi) || z > hi[FILENAME]) hi[FILENAME] = z }
    END {
      relief = -1
      for (f in lo) if (relief < 0 || hi[f] - lo[f] < relief) relief = hi[f] - lo[f]
      if (relief <= 0) { print 5; exit }
      step = relief / 10; p = 10 ^ int(log(step) / log(10)); if (p > step) p /= 10
      n = step / p; nice = (n >= 5) ? 5 : (n >= 2) ? 2 : 1
      print nice * p
    }' "$xyz_dir"/*.xyz
}
interval=$(contour_interval)

tiles=("$xyz_dir"/*.xyz)
echo "Terravox demo: ${#tiles[@]} XYZ tiles from $xyz_dir/, contours every $interval m"
status=0
"$cli" run --input xyz --xyz-dir "$xyz_dir" --ascii-dir "$out_dir/ascii" \
  --grid-dir "$out_dir/grid" --contour-dir "$out_dir/contours" --contour-start 0 \
  --contour-interval "$interval" --slope-dir "$out_dir/slopes" \
  --cog-dir "$out_dir/cog" --contour-gpkg "$out_dir/contours.gpkg" \
  --log "$out_dir/xyz2ascii.log" --report "$out_dir/report.jsonl" --quicklook || status=$?
if [ "$status" -ne 0 ]; then
  echo "demo: the run stopped (exit $status); what it made is in $out_dir" >&2
  exit 1
fi

# gdalinfo/ogrinfo must open each output with the expected driver; prints one summary cell.
failures=0
check_raster() {  # path driver -> "WxH" or "FAILED"
  local info
  if info=$(gdalinfo -mm "$1" 2>/dev/null) && grep -q "^Driver: $2/" <<<"$info"; then
    sed -n 's/^Size is \([0-9]*\), \([0-9]*\)$/\1x\2/p' <<<"$info"
  else
    failures=$((failures + 1)); echo FAILED
  fi
}
max_of() {  # path -> the computed maximum of band 1
  gdalinfo -mm "$1" 2>/dev/null | sed -n 's/.*Computed Min\/Max=[^,]*,\([0-9.]*\).*/\1/p' |
    head -1 | xargs printf '%.1f'
}
check_contours() {  # shp -> "N lines" or "FAILED"
  local info
  if info=$(ogrinfo -ro -so -al "$1" 2>/dev/null) && grep -q '^Geometry: Line String' <<<"$info"
  then
    sed -n 's/^Feature Count: \([0-9]*\)$/\1 lines/p' <<<"$info"
  else
    failures=$((failures + 1)); echo FAILED
  fi
}

printf '\n%-14s %-12s %-12s %-12s %s\n' tile "ASCII grid" GRID contours "slope GRID"
for xyz in "${tiles[@]}"; do
  name=$(basename "$xyz"); name=${name%%.*}
  ascii=$(check_raster "$out_dir/ascii/$name.asc" AAIGrid)
  grid=$(check_raster "$out_dir/grid/$name" AIG)
  contours=$(check_contours "$out_dir/contours/$name.shp")
  slope=$(check_raster "$out_dir/slopes/$name" AIG)
  [ "$slope" != FAILED ] && slope="$slope, max $(max_of "$out_dir/slopes/$name") deg"
  printf '%-14s %-12s %-12s %-12s %s\n' "$name" "$ascii" "$grid" "$contours" "$slope"
done

# One tile as a user of another GIS meets it: its COG and its lines in the GeoPackage.
name=$(basename "${tiles[0]}"); name=${name%%.*}
echo
echo "The tile $name as GDAL opens its COG ($out_dir/cog/$name.tif):"
if info=$(gdalinfo "$out_dir/cog/$name.tif" 2>/dev/null) && grep -q '^Driver: GTiff/' <<<"$info" &&
  grep -q 'LAYOUT=COG' <<<"$info"; then
  grep -E '^(Driver|Size is)|LAYOUT=|COMPRESSION=|Block=|Overviews:|NoData' <<<"$info" |
    sed 's/^ */  /'
else
  failures=$((failures + 1)); echo "  FAILED"
fi
echo "and its lines in the GeoPackage ($out_dir/contours.gpkg):"
lines_in() {  # tile -> its line count in the GeoPackage
  ogrinfo -ro -q "$out_dir/contours.gpkg" -sql "SELECT COUNT(*) FROM contours WHERE tile = '$1'" \
    2>/dev/null | sed -n 's/.*COUNT(\*) (Integer) = \([0-9]*\)$/\1/p'
}
if info=$(ogrinfo -ro -so "$out_dir/contours.gpkg" contours 2>/dev/null); then
  grep -E '^(Layer name|Geometry|Feature Count|Extent)|^[A-Za-z]+: (String|Integer|Real)' \
    <<<"$info" | sed 's/^/  /'
  echo "  lines of $name: $(lines_in "$name")"
else
  failures=$((failures + 1)); echo "  FAILED"
fi
for xyz in "${tiles[@]}"; do
  tile=$(basename "$xyz"); tile=${tile%%.*}
  shp=$(ogrinfo -ro -so -al "$out_dir/contours/$tile.shp" 2>/dev/null |
    sed -n 's/^Feature Count: \([0-9]*\)$/\1/p')
  if [ "$(lines_in "$tile")" != "$shp" ]; then
    failures=$((failures + 1)); echo "demo: the GeoPackage lacks lines of $tile" >&2
  fi
done

echo
if [ "$failures" -ne 0 ]; then
  echo "demo: GDAL could not open $failures output(s); see $out_dir" >&2
  exit 1
fi
echo "GDAL opened every ASCII grid, GRID, contour Shapefile and slope GRID, the COG and the"
echo "GeoPackage."
"$cli" report "$out_dir/report.jsonl" --html "$out_dir/report.html" >/dev/null
echo "Demo output: $out_dir"
echo "Report page: $out_dir/report.html"
