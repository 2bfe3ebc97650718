// Temporary names: formed with snprintf, recognised strictly so that no user's file matches.
#include "core/temporary_name.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cinttypes>
#include <cstdio>
#include <random>

namespace terravox {
namespace {

constexpr std::string_view kPrefix = ".terravox-";
constexpr size_t kMaxSuffixChars = 16;

// Reads a number of the given base up to the next '-' (or the text's end) and steps past it.
template <typename T>
bool TakeField(std::string_view& text, T& value, int base) {
  const char* end = text.data() + std::min(text.find('-'), text.size());
  auto [ptr, ec] = std::from_chars(text.data(), end, value, base);
  if (ec != std::errc() || ptr != end || ptr == text.data()) return false;
  text.remove_prefix(std::min(static_cast<size_t>(end - text.data()) + 1, text.size()));
  return true;
}

}  // namespace

std::string TemporaryStem(const ProcessTag& owner, uint32_t random) {
  char stem[96];
  std::snprintf(stem, sizeof stem, ".terravox-%08" PRIx32 "-%" PRId64 "-%" PRIu64 "-%08" PRIx32,
                owner.machine, owner.pid, owner.start, random);
  return stem;
}

std::string NewTemporaryStem() {
  static thread_local std::mt19937 random(std::random_device{}());
  return TemporaryStem(ThisProcess(), static_cast<uint32_t>(random()));
}

std::optional<ProcessTag> TemporaryOwner(std::string_view name) {
  const std::string_view whole = name;
  if (name.substr(0, kPrefix.size()) != kPrefix) return std::nullopt;
  name.remove_prefix(kPrefix.size());
  // The random part runs to the first "."; the suffix follows it.
  size_t dot = name.find('.');
  if (dot == std::string_view::npos) return std::nullopt;
  std::string_view suffix = name.substr(dot + 1);
  if (suffix.empty() || suffix.size() > kMaxSuffixChars) return std::nullopt;
  for (char c : suffix) {
    if (!std::isalnum(static_cast<unsigned char>(c)) && c != '.') return std::nullopt;
  }
  std::string_view fields = name.substr(0, dot);
  ProcessTag owner;
  uint32_t random = 0;
  if (!TakeField(fields, owner.machine, 16) || !TakeField(fields, owner.pid, 10) ||
      !TakeField(fields, owner.start, 10) || !TakeField(fields, random, 16) || !fields.empty()) {
    return std::nullopt;
  }
  // Only the exact form this scheme writes: no sign, leading zero or upper-case hex digit.
  if (TemporaryStem(owner, random) != whole.substr(0, kPrefix.size() + dot)) return std::nullopt;
  return owner;
}

}  // namespace terravox
