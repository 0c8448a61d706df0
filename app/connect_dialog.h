// The progress dialog: a small modeless tool window that shows the lines of a
// long operation, keeps a time-stamped copy of each for the log file, and offers a
// Cancel button that the waiting code polls. It never closes itself; its owner
// ends and deletes it.
#pragma once

#include <string>
#include <vector>

#include "app/status_sink.h"
#include "ui/dialog.h"

class CConnectDlg : public ui::Dialog, public CStatusSink {
 public:
  explicit CConnectDlg(ui::Dialog* parent = nullptr);
  ~CConnectDlg() override = default;

  void ShowStatus(std::string text) override;
  // False at once after Cancel; otherwise handles at most one pending event.
  bool Poll() override;
  void WriteLog(const std::string& fileName, const std::string& systemName) const;
  void OnCancel() override { cancelled_ = true; }
  void OnCommand(int id, ui::Notification notification) override;

  bool IsCancelled() const { return cancelled_; }
  const std::vector<std::string>& LogLines() const { return logLines_; }

 private:
  bool cancelled_ = false;
  std::vector<std::string> logLines_;
};
