// Joining the pieces of a file: the file's distinct values and each piece's map into them.
#include "gridder/file_points.h"

namespace terravox {
namespace {

// Adds the values to the file's list and returns where each one stands there.
std::vector<uint32_t> MapInto(DistinctValues& file_values, const std::vector<double>& values) {
  std::vector<uint32_t> map(values.size());
  for (size_t i = 0; i < values.size(); ++i) map[i] = file_values.Add(values[i]);
  return map;
}

// Strict comparisons from the first value on: of equal extremes (0 and -0) the first seen
// stays, as when the extent is followed point by point.
double Smallest(const std::vector<double>& values) {
  double smallest = values.front();
  for (double value : values) {
    if (value < smallest) smallest = value;
  }
  return smallest;
}

double Largest(const std::vector<double>& values) {
  double largest = values.front();
  for (double value : values) {
    if (value > largest) largest = value;
  }
  return largest;
}

}  // namespace

void FilePoints::Append(PointSet piece) {
  if (piece.empty()) return;
  x_maps_.push_back(MapInto(distinct_x_, piece.distinct_x().values()));
  y_maps_.push_back(MapInto(distinct_y_, piece.distinct_y().values()));
  pieces_.push_back(std::move(piece));
}

bool FilePoints::empty() const { return pieces_.empty(); }

double FilePoints::min_x() const { return Smallest(distinct_x_.values()); }
double FilePoints::max_x() const { return Largest(distinct_x_.values()); }
double FilePoints::min_y() const { return Smallest(distinct_y_.values()); }
double FilePoints::max_y() const { return Largest(distinct_y_.values()); }

}  // namespace terravox
