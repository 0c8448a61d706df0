#include "tools/cli/sorted_system_list.h"

#include <algorithm>

#include "ui/list_order.h"

SortedSystemList::~SortedSystemList() {
  for (Line& line : lines_) delete line.entry;
}

LocalSystemEntry* SortedSystemList::EntryAt(int index) {
  return index >= 0 && index < LineCount() ? lines_[static_cast<size_t>(index)].entry : nullptr;
}

void SortedSystemList::DeleteLine(int index) {
  if (index >= 0 && index < LineCount()) lines_.erase(lines_.begin() + index);
}

int SortedSystemList::AddLine(const std::string& text) {
  auto at = std::upper_bound(lines_.begin(), lines_.end(), text,
                             [](const std::string& value, const Line& line) { return ui::ListOrderLess(value, line.text); });
  const int index = static_cast<int>(at - lines_.begin());
  lines_.insert(at, Line{text, nullptr});
  return index;
}

void SortedSystemList::SetEntry(int index, LocalSystemEntry* entry) {
  if (index >= 0 && index < LineCount()) lines_[static_cast<size_t>(index)].entry = entry;
}
