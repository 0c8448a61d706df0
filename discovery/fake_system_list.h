// A SystemList over a vector, for tests and the fuzz harness: lines kept sorted
// ignoring case, as the real list box keeps them, and a record of what discovery
// did to them. Selecting a line copies its name into the System Name field, as
// OnSelectLocalSystem does.
#pragma once

#include <algorithm>
#include <cctype>
#include <string>
#include <vector>

#include "discovery/system_list.h"

class FakeSystemList : public SystemList {
 public:
  struct Line {
    std::string text;
    LocalSystemEntry* entry = nullptr;
  };

  ~FakeSystemList() override {
    for (Line& line : lines) delete line.entry;
  }

  int LineCount() override { return static_cast<int>(lines.size()); }
  LocalSystemEntry* EntryAt(int index) override { return lines.at(static_cast<size_t>(index)).entry; }
  void DeleteLine(int index) override {
    deleted.push_back(lines.at(static_cast<size_t>(index)).text);
    lines.erase(lines.begin() + index);
    if (selected == index) selected = -1;
    if (selected > index) --selected;
  }
  int AddLine(const std::string& text) override {
    if (refuseAdds) return -1;
    added.push_back(text);
    const auto at = std::upper_bound(lines.begin(), lines.end(), text, [](const std::string& t, const Line& line) {
      return std::lexicographical_compare(t.begin(), t.end(), line.text.begin(), line.text.end(), LessFolded);
    });
    const int index = static_cast<int>(at - lines.begin());
    if (selected >= index) ++selected;
    lines.insert(at, Line{text, nullptr});
    return index;
  }
  void SetEntry(int index, LocalSystemEntry* entry) override { lines.at(static_cast<size_t>(index)).entry = entry; }
  std::string ReadSystemName() override { return systemName; }
  void SelectLine(int index) override {
    selected = index;
    selections.push_back(lines.at(static_cast<size_t>(index)).text);
    systemName = lines.at(static_cast<size_t>(index)).entry->name;
  }
  void Repaint() override { ++repaints; }

  std::vector<std::string> Texts() const {
    std::vector<std::string> texts;
    for (const Line& line : lines) texts.push_back(line.text);
    return texts;
  }
  // The line's entry, or null when no line has this text.
  LocalSystemEntry* Find(const std::string& text) const {
    for (const Line& line : lines) {
      if (line.text == text) return line.entry;
    }
    return nullptr;
  }

  std::vector<Line> lines;
  std::string systemName;
  bool refuseAdds = false;
  int selected = -1;
  int repaints = 0;
  std::vector<std::string> added;
  std::vector<std::string> deleted;
  std::vector<std::string> selections;

 private:
  static bool LessFolded(char a, char b) {
    return std::tolower(static_cast<unsigned char>(a)) < std::tolower(static_cast<unsigned char>(b));
  }
};
