// The Local Systems list without a window: lines kept in the list's order, each
// with its entry. `tidewatcher discover` runs discovery into one.
#pragma once

#include <string>
#include <vector>

#include "discovery/system_list.h"

class SortedSystemList : public SystemList {
 public:
  ~SortedSystemList() override;
  int LineCount() override { return static_cast<int>(lines_.size()); }
  LocalSystemEntry* EntryAt(int index) override;
  void DeleteLine(int index) override;
  int AddLine(const std::string& text) override;
  void SetEntry(int index, LocalSystemEntry* entry) override;
  std::string ReadSystemName() override { return std::string(); }
  void SelectLine(int index) override { (void)index; }
  void Repaint() override {}

  std::string TextAt(int index) const { return lines_[static_cast<size_t>(index)].text; }

 private:
  struct Line {
    std::string text;
    LocalSystemEntry* entry = nullptr;
  };
  std::vector<Line> lines_;
};
