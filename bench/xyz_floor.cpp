// xyz_floor: the least work any XYZ gridder must do, as a yardstick for ours: read the file in
// large blocks, parse every number, then format as many values as the grid holds and write them.
// No validation, no grid: what is left once the gridding itself costs nothing.
//
//   xyz_floor IN OUT    (OUT may be /dev/null)
#include <charconv>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: xyz_floor IN OUT\n");
    return 2;
  }
  std::FILE* in = std::fopen(argv[1], "rb");
  if (!in) {
    std::perror("xyz_floor");
    return 1;
  }
  std::vector<double> values;
  auto parse = [&values](const char* p, const char* end) {
    while (p < end) {
      while (p < end && (*p == ' ' || *p == '\r' || *p == '\n')) ++p;
      if (p == end) break;
      double value = 0;
      auto [next, ec] = std::from_chars(p, end, value);
      if (ec != std::errc()) return;
      values.push_back(value);
      p = next;
    }
  };
  // Blocks read behind the unparsed tail of the previous one; only whole lines are parsed.
  std::vector<char> buffer(size_t{4} << 20);
  size_t tail = 0;
  size_t got = 0;
  while ((got = std::fread(buffer.data() + tail, 1, buffer.size() - tail, in)) > 0) {
    size_t filled = tail + got;
    size_t cut = filled;
    while (cut > 0 && buffer[cut - 1] != '\n') --cut;
    parse(buffer.data(), buffer.data() + cut);
    tail = filled - cut;
    std::memmove(buffer.data(), buffer.data() + cut, tail);
  }
  parse(buffer.data(), buffer.data() + tail);
  std::fclose(in);

  // One value per point: the z values, as a grid of that many cells would print them, in the
  // shortest form that reads back (the cheapest formatting there is).
  std::string out;
  out.reserve(values.size() / 3 * 10);
  char text[64];
  for (size_t i = 2; i < values.size(); i += 3) {
    auto [end, ec] = std::to_chars(text, text + sizeof text, values[i]);
    out.append(text, end);
    out += (i / 3 + 1) % 2000 == 0 ? "\r\n" : " ";
  }
  std::FILE* file = std::fopen(argv[2], "wb");
  if (!file || std::fwrite(out.data(), 1, out.size(), file) != out.size() || std::fclose(file)) {
    std::perror("xyz_floor");
    return 1;
  }
  return 0;
}
