#!/usr/bin/env bash
# Writes pictures of the windows (main window fresh, with XYZ input and both extra operations, and
# in the middle of a run; folder dialog, about box) as PNG files, taken on a virtual X display,
# and of the demo run's report page, taken by headless Chromium.
#   scripts/screenshots.sh BUILD_DIR [OUTPUT_FOLDER]    (default output: screenshots/)
set -euo pipefail

build_dir=${1:?usage: scripts/screenshots.sh BUILD_DIR [OUTPUT_FOLDER]}
output=${2:-screenshots}
program="$build_dir/src/app/terravox_screenshots"
if [ ! -x "$program" ]; then
  echo "screenshots: $program is missing; build first" >&2
  exit 1
fi
mkdir -p "$output"

# 96 DPI, the resolution the windows' twips are laid out for: 15 twips to a pixel.
xvfb-run --auto-servernum --server-args="-screen 0 1280x1024x24 -dpi 96" \
  env QT_QPA_PLATFORM=xcb "$program" "$output"
repo=$(cd "$(dirname "$0")/.." && pwd)
python3 "$repo/tests/browser/report_page_test.py" "$build_dir" "$repo" --screenshot \
  "$output/report_page.png"
echo "screenshots: written to $output/" >&2
