#!/usr/bin/env bash
# The demo: runs the bundled sample tiles (examples/*.xyz) through terravox-cli into a fresh
# folder demo-output/<timestamp>/ and names that folder at the end.
#   usage: scripts/demo.sh BUILD_DIR
set -euo pipefail
build_dir=$(cd "${1:?usage: demo.sh BUILD_DIR}" && pwd)
cd "$(dirname "$0")/.."
cli=$build_dir/src/app/terravox-cli

mkdir -p demo-output
out_dir=$(mktemp -d "demo-output/$(date +%Y%m%d-%H%M%S)-XXXX")
log=$out_dir/xyz2ascii.log

# XYZ point files -> ESRI ASCII grids (cell size derived from the points).
xyz_to_ascii() {
  mkdir -p "$out_dir/ascii"
  local xyz name
  for xyz in examples/*.xyz; do
    name=$(basename "$xyz")
    echo "XYZ -> ASCII   $name -> ascii/${name%%.*}.asc"
    "$cli" grid "$xyz" "$out_dir/ascii/${name%%.*}.asc" --log "$log"
  done
}

xyz_to_ascii
echo "Demo output: $out_dir"
