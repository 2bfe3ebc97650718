// RenderReportPage: the page as text, built piece by piece; no template engine, no framework.
#include "batch/report_page.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <initializer_list>
#include <set>
#include <string_view>

#include "core/paths.h"
#include "engine/slope_ramp.h"

namespace terravox {
namespace {

constexpr size_t kSlowestShown = 5;
// The slope legend's range, in degrees: the ramp's last stop.
constexpr double kLegendDegrees = engine::kSlopeRamp.back().degrees;

constexpr const char* kStyle = R"(<style>
body { font: 14px/1.4 system-ui, sans-serif; margin: 1.5em; color: #222; background: #fafaf8; }
h1 { font-size: 1.5em; margin: 0 0 .3em; }
h2 { font-size: 1.2em; margin: 1.5em 0 .5em; }
.verdict { font-weight: bold; padding: .4em .7em; border-radius: 4px; display: inline-block; }
.verdict.finished { background: #d8f0d8; } .verdict.stopped { background: #f8d7d7; }
table { border-collapse: collapse; background: #fff; }
th, td { border: 1px solid #ccc; padding: 2px 6px; text-align: left; vertical-align: top; }
td.n { text-align: right; font-variant-numeric: tabular-nums; }
#tiles th { cursor: pointer; background: #eee; user-select: none; }
#tiles th[aria-sort=ascending]::after { content: " \25B2"; }
#tiles th[aria-sort=descending]::after { content: " \25BC"; }
.ok { color: #1a7f1a; } .failed { color: #c00; font-weight: bold; } .skipped { color: #777; }
td.failure { white-space: pre-line; color: #c00; max-width: 40em; }
tr:target { background: #fff3a8; }
.map { position: relative; display: inline-block; max-width: 100%; border: 1px solid #999; }
.map img { display: block; max-width: 100%; max-height: 85vh; width: auto; height: auto; }
figure.overview { margin: 0; }
.map svg { position: absolute; left: 0; top: 0; width: 100%; height: 100%; }
.map rect { fill: transparent; pointer-events: all; cursor: pointer; }
.map rect:hover { fill: rgba(255, 230, 0, .35); }
.scalebar { position: absolute; left: 10px; bottom: 10px; height: 6px; border: 2px solid #000;
  border-top: none; background: rgba(255, 255, 255, .7); }
.scalebar span { position: absolute; left: 100%; bottom: -2px; padding-left: 4px;
  white-space: nowrap; background: rgba(255, 255, 255, .7); }
.pictures { display: flex; flex-wrap: wrap; gap: 1em; }
figure.tile { margin: 0; padding: .5em; background: #fff; border: 1px solid #ccc; }
figure.tile.failed { border-color: #c00; }
figure.tile img { display: inline-block; vertical-align: top; min-width: 128px;
  image-rendering: auto; }
.ramp { height: 10px; width: 256px; background: RAMP_GRADIENT; }
.ramp-labels { display: flex; justify-content: space-between; width: 256px; font-size: 12px; }
</style>
)";

// Sorts the table by the column clicked: numbers largest first, texts A to Z; a second click
// turns the order round. Rows without a figure go last either way.
constexpr const char* kScript = R"(<script>
for (const th of document.querySelectorAll('#tiles thead th')) {
  th.addEventListener('click', () => {
    const numeric = th.dataset.type === 'number';
    const was = th.getAttribute('aria-sort');
    const down = was ? was === 'ascending' : numeric;
    for (const other of th.parentNode.cells) other.removeAttribute('aria-sort');
    th.setAttribute('aria-sort', down ? 'descending' : 'ascending');
    const body = th.closest('table').tBodies[0];
    const key = (row) => {
      const cell = row.cells[th.cellIndex];
      const text = cell.dataset.v ?? cell.textContent;
      return numeric ? (text === '' ? NaN : Number(text)) : text;
    };
    const rows = Array.from(body.rows).sort((a, b) => {
      const x = key(a), y = key(b);
      if (numeric && (isNaN(x) || isNaN(y))) return isNaN(x) - isNaN(y);
      const order = numeric ? x - y : x.localeCompare(y);
      return down ? -order : order;
    });
    body.append(...rows);
  });
}
</script>
)";

// Appends the pieces in turn, with no temporary for their sum.
void Append(std::string& out, std::initializer_list<std::string_view> pieces) {
  for (std::string_view piece : pieces) out += piece;
}

std::string Escape(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      case '\'':
        out += "&#39;";
        break;
      default:
        out += c;
    }
  }
  return out;
}

// A file name as one piece of a relative URL: every byte but the unreserved ones %-encoded.
std::string UrlPiece(std::string_view name) {
  std::string out;
  for (unsigned char c : name) {
    const bool unreserved = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                            (c >= '0' && c <= '9') || c == '-' || c == '_' || c == '.' || c == '~';
    if (unreserved) {
      out += static_cast<char>(c);
    } else {
      char code[4];
      std::snprintf(code, sizeof code, "%%%02X", c);
      out += code;
    }
  }
  return out;
}

std::string Fixed(double value, int decimals) {
  if (!std::isfinite(value)) return "";
  char text[64];
  std::snprintf(text, sizeof text, "%.*f", decimals, value);
  return text;
}

std::string Count(int64_t value) { return value < 0 ? "" : std::to_string(value); }

// A number cell: the text shown, the exact value to sort by.
std::string NumberCell(const std::string& shown, const std::string& value) {
  return "<td class=\"n\" data-v=\"" + value + "\">" + shown + "</td>";
}
std::string NumberCell(double value, int decimals) {
  return NumberCell(Fixed(value, decimals), Fixed(value, 9));
}
std::string NumberCell(int64_t value) { return NumberCell(Count(value), Count(value)); }

std::string PictureUrl(const ReportPageInput& input, const std::string& path) {
  return UrlPiece(input.pictures_folder) + "/" + UrlPiece(LastPathPiece(path));
}

void AppendTotals(const ReportPageInput& input, std::string& html) {
  html += input.finished
              ? "<p class=\"verdict finished\">Program is Finished: All files in the folders "
                "were finished</p>\n"
              : "<p class=\"verdict stopped\">Program is Stopped: There are some errors "
                "happened during processing</p>\n";
  html += "<p>" + std::to_string(input.tiles.size()) + " tiles.</p>\n";
  html +=
      "<table id=\"totals\"><thead><tr><th>step</th><th>ok</th><th>failed</th>"
      "<th>skipped</th><th>seconds</th></tr></thead><tbody>\n";
  std::vector<const FileRecord*> timed;
  for (size_t step = 0; step < kReportSteps.size(); ++step) {
    int counts[3] = {0, 0, 0};
    double seconds = 0;
    bool any = false;
    for (const ReportTile& tile : input.tiles) {
      const std::optional<FileRecord>& record = tile.steps[step];
      if (!record) continue;
      any = true;
      ++counts[static_cast<int>(record->outcome)];
      seconds += record->seconds;
      if (record->outcome != FileOutcome::kSkipped) timed.push_back(&*record);
    }
    if (!any) continue;
    html += "<tr><td>" + std::string(kReportSteps[step]) + "</td>";
    for (FileOutcome outcome : {FileOutcome::kOk, FileOutcome::kFailed, FileOutcome::kSkipped}) {
      html += NumberCell(int64_t{counts[static_cast<int>(outcome)]});
    }
    html += NumberCell(seconds, 3) + "</tr>\n";
  }
  html += "</tbody></table>\n";
  std::stable_sort(timed.begin(), timed.end(), [](const FileRecord* a, const FileRecord* b) {
    return a->seconds > b->seconds;
  });
  if (timed.size() > kSlowestShown) timed.resize(kSlowestShown);
  html += "<h2>Slowest files</h2>\n<ol id=\"slowest\">\n";
  for (const FileRecord* record : timed) {
    html += "<li>" + Fixed(record->seconds, 3) + " s &nbsp; " + Escape(record->step) + " &nbsp; " +
            Escape(record->input) + "</li>\n";
  }
  html += "</ol>\n";
}

// "m" for metres, "ft" for feet, "°" for degrees, else the unit's own name.
std::string UnitSymbol(const std::string& unit) {
  if (unit == "metre" || unit == "meter" || unit == "Meter") return "m";
  if (unit.find("foot") != std::string::npos || unit.find("feet") != std::string::npos) return "ft";
  if (unit.find("degree") != std::string::npos) return "\u00B0";
  return unit.empty() ? "map units" : unit;
}

// 1, 2 or 5 times a power of ten, at most limit.
double RoundLength(double limit) {
  const double power = std::pow(10.0, std::floor(std::log10(limit)));
  for (double step : {5.0, 2.0, 1.0}) {
    if (step * power <= limit) return step * power;
  }
  return power;
}

void AppendOverview(const ReportPageInput& input, std::string& html) {
  html += "<h2>Overview</h2>\n";
  if (!input.overview) {
    html += "<p>No tile has a grid to place it on a map.</p>\n";
    return;
  }
  const PageOverview& overview = *input.overview;
  const engine::OverviewLayout& layout = overview.layout;
  const std::string width = std::to_string(layout.width);
  const std::string height = std::to_string(layout.height);
  html += "<figure class=\"overview\"><div class=\"map\"><img id=\"overview-map\" src=\"" +
          PictureUrl(input, overview.picture) + "\" width=\"" + width + "\" height=\"" + height +
          "\" alt=\"Overview map of the survey\">\n<svg viewBox=\"0 0 " + width + " " + height +
          "\" preserveAspectRatio=\"none\">\n";
  for (size_t i = 0; i < layout.boxes.size(); ++i) {
    const engine::PixelBox& box = layout.boxes[i];
    const size_t tile = overview.tiles[i];
    html += "<a href=\"#row-" + std::to_string(tile) + "\"><rect id=\"map-" + std::to_string(tile) +
            "\" x=\"" + std::to_string(box.left) + "\" y=\"" + std::to_string(box.top) +
            "\" width=\"" + std::to_string(box.right - box.left) + "\" height=\"" +
            std::to_string(box.bottom - box.top) + "\"><title>" + Escape(input.tiles[tile].name) +
            "</title></rect></a>\n";
  }
  html += "</svg>\n";
  // The scale bar takes about a fifth of the map's width, in a round length.
  const double map_width = layout.width * layout.pixel_size;
  std::string unit;
  std::set<std::string> systems;
  for (size_t tile : overview.tiles) {
    const Quicklook& look = *input.tiles[tile].quicklook;
    systems.insert(look.srs_name);
    if (unit.empty()) unit = look.unit;
  }
  if (map_width > 0) {
    const double length = RoundLength(map_width / 5);
    char label[64];
    std::snprintf(label, sizeof label, "%g", length);
    html += "<div class=\"scalebar\" style=\"width:" + Fixed(100 * length / map_width, 4) +
            "%\"><span>" + label + " " + Escape(UnitSymbol(unit)) + "</span></div>\n";
  }
  html += "</div>\n<figcaption>Coordinate system: ";
  std::string names;
  for (const std::string& system : systems) {
    if (!names.empty()) names += "; ";
    names += system.empty() ? "none given" : Escape(system);
  }
  html += names +
          ". Failed tiles are outlined in red, tiles without outputs are grey. Click a "
          "tile for its row in the table.";
  const size_t unplaced = input.tiles.size() - overview.tiles.size();
  if (unplaced > 0) {
    html += " " + std::to_string(unplaced) + " tiles have no grid to place them.";
  }
  html += "</figcaption></figure>\n";
}

void AppendTable(const ReportPageInput& input, std::string& html) {
  html += "<h2>Tiles</h2>\n<table id=\"tiles\"><thead><tr><th data-type=\"text\">tile</th>";
  for (const char* step : kReportSteps) {
    html += std::string("<th data-type=\"text\">") + step +
            "</th><th data-type=\"number\" title=\"" + step + " seconds\">s</th>";
  }
  html +=
      "<th data-type=\"number\" id=\"time\">time (s)</th><th data-type=\"number\">points</th>"
      "<th data-type=\"number\">cells</th><th data-type=\"number\">z min</th>"
      "<th data-type=\"number\">z max</th><th data-type=\"number\">max slope (\u00B0)</th>"
      "<th data-type=\"number\">contour lines</th><th data-type=\"text\">failure</th>"
      "</tr></thead>\n<tbody>\n";
  for (size_t i = 0; i < input.tiles.size(); ++i) {
    const ReportTile& tile = input.tiles[i];
    const std::string index = std::to_string(i);
    Append(html, {"<tr id=\"row-", index, "\"><td><a href=\"#tile-", index, "\">",
                  Escape(tile.name), "</a></td>"});
    for (const std::optional<FileRecord>& record : tile.steps) {
      if (!record) {
        html += "<td data-v=\"\"></td><td class=\"n\" data-v=\"\"></td>";
        continue;
      }
      const char* outcome = OutcomeName(record->outcome);
      html += std::string("<td class=\"") + outcome + "\">" + outcome + "</td>" +
              NumberCell(record->seconds, 3);
    }
    const std::optional<Quicklook>& look = tile.quicklook;
    html += NumberCell(tile.Seconds(), 3) + NumberCell(tile.Points()) + NumberCell(tile.Cells()) +
            NumberCell(look ? look->z_min : NAN, 2) + NumberCell(look ? look->z_max : NAN, 2) +
            NumberCell(look ? look->slope_max : NAN, 1) +
            NumberCell(look ? look->contour_lines : -1) + "<td class=\"failure\">" +
            Escape(tile.Failure()) + "</td></tr>\n";
  }
  html += "</tbody></table>\n";
}

void AppendPictures(const ReportPageInput& input, std::string& html) {
  html +=
      "<h2>Pictures</h2>\n<p>Left: hillshade with contour lines. Right: slope.</p>\n"
      "<div class=\"ramp\"></div><div class=\"ramp-labels\"><span>0\u00B0</span><span>" +
      Fixed(kLegendDegrees / 2, 0) + "\u00B0</span><span>" + Fixed(kLegendDegrees, 0) +
      "\u00B0 and steeper</span></div>\n<div class=\"pictures\">\n";
  for (size_t i = 0; i < input.tiles.size(); ++i) {
    const ReportTile& tile = input.tiles[i];
    const std::string index = std::to_string(i);
    const std::string name = Escape(tile.name);
    Append(html, {"<figure class=\"tile", tile.Failed() ? " failed" : "", "\" id=\"tile-", index,
                  "\"><figcaption><a href=\"#row-", index, "\">", name, "</a></figcaption>"});
    const std::optional<Quicklook>& look = tile.quicklook;
    if (!look || look->hillshade.empty()) {
      html += "<p>No pictures: the tile has no GRID.</p></figure>\n";
      continue;
    }
    html += "<img loading=\"lazy\" src=\"" + PictureUrl(input, look->hillshade) +
            "\" alt=\"Hillshade and contour lines of " + name + "\">";
    if (!look->slope.empty()) {
      html += " <img loading=\"lazy\" src=\"" + PictureUrl(input, look->slope) +
              "\" alt=\"Slope of " + name + "\">";
    }
    html += "</figure>\n";
  }
  html += "</div>\n";
}

// The ramp as a CSS gradient over the legend's range.
std::string RampGradient() {
  std::string css = "linear-gradient(to right";
  for (const engine::RampStop& stop : engine::kSlopeRamp) {
    css += ", rgb(" + std::to_string(stop.red) + "," + std::to_string(stop.green) + "," +
           std::to_string(stop.blue) + ") " + Fixed(100 * stop.degrees / kLegendDegrees, 2) + "%";
  }
  return css + ")";
}

}  // namespace

std::string RenderReportPage(const ReportPageInput& input) {
  std::string html =
      "<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\">\n"
      "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n"
      "<title>Terravox report: " +
      std::to_string(input.tiles.size()) + " tiles</title>\n";
  std::string style = kStyle;
  style.replace(style.find("RAMP_GRADIENT"), 13, RampGradient());
  html += style + "</head><body>\n<h1>Terravox run report</h1>\n";
  AppendTotals(input, html);
  AppendOverview(input, html);
  AppendTable(input, html);
  AppendPictures(input, html);
  html += kScript;
  html += "</body></html>\n";
  return html;
}

}  // namespace terravox
