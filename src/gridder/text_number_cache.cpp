// The slow paths of TextNumberCache: reading new texts and growing the table.
#include "gridder/text_number_cache.h"

#include "core/number_parse.h"
#include "gridder/plain_decimal.h"

namespace terravox {
namespace {

constexpr size_t kInitialSlots = 256;
// The table stops growing here (2 MB): past that many distinct texts the fields are not
// coordinates of a lattice and are read one by one.
constexpr size_t kMaxSlots = size_t{1} << 16;

double ParseCoordinate(std::string_view text) {
  double value;
  return ParsePlainDecimal(text, &value) ? value : ParseDoubleOrThrow(text);
}

}  // namespace

TextNumberCache::TextNumberCache()
    : slots_(kInitialSlots, Entry{0, 0, {0, 0, 0}}), shift_(64 - std::countr_zero(kInitialSlots)) {}

TextNumberCache::Number& TextNumberCache::Unkept(std::string_view text) {
  unkept_ = Number{ParseCoordinate(text), 0, 0};
  return unkept_;
}

TextNumberCache::Number& TextNumberCache::Insert(std::string_view text, Entry probe) {
  probe.number.value = ParseCoordinate(text);  // a text that is no number throws here, unkept
  if ((used_ + 1) * 2 > slots_.size()) {
    if (slots_.size() >= kMaxSlots) {
      unkept_ = probe.number;
      return unkept_;
    }
    Grow();
  }
  return Place(probe);
}

TextNumberCache::Number& TextNumberCache::Place(const Entry& entry) {
  size_t mask = slots_.size() - 1;
  size_t slot = SlotOf(entry, shift_);
  while (!Free(slots_[slot])) slot = (slot + 1) & mask;
  slots_[slot] = entry;
  ++used_;
  last_slot_ = slot;
  return slots_[slot].number;
}

void TextNumberCache::Grow() {
  std::vector<Entry> old = std::move(slots_);
  slots_.assign(old.size() * 2, Entry{0, 0, {0, 0, 0}});
  --shift_;
  used_ = 0;
  for (const Entry& entry : old) {
    if (!Free(entry)) Place(entry);
  }
}

void TextNumberCache::ClearMarks() {
  for (Entry& entry : slots_) entry.number.mark = 0;
  unkept_.mark = 0;
}

}  // namespace terravox
