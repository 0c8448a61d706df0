// What discovery needs from the window: the Local Systems list and the System Name
// field. Discovery knows no windows; the main dialog implements this over its list
// box, tests over a vector, the probe tool over standard output.
#pragma once

#include <string>

#include "discovery/local_system_entry.h"

class SystemList {
 public:
  virtual ~SystemList() = default;
  virtual int LineCount() = 0;
  // The line's item data; null when the line carries none.
  virtual LocalSystemEntry* EntryAt(int index) = 0;
  // Removes the line only; the caller frees the entry.
  virtual void DeleteLine(int index) = 0;
  // Sorted insert; the new line's index, or negative when the list refuses it.
  virtual int AddLine(const std::string& text) = 0;
  // Attaches the entry to the line; the list does not own it.
  virtual void SetEntry(int index, LocalSystemEntry* entry) = 0;
  // The System Name control's current text, read back from the control.
  virtual std::string ReadSystemName() = 0;
  // Makes the line the current selection and runs OnSelectLocalSystem.
  virtual void SelectLine(int index) = 0;
  virtual void Repaint() = 0;
};
