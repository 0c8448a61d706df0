// The remote path of the launch as the main dialog runs it (remote/remote_connect.h):
// its status lines go through the dialog's PostStatus, so the progress dialog
// shows them and the status observer (the headless command prints every line)
// sees them too.
#pragma once

#include <string>

#include "app/main_dialog.h"
#include "app/status_sink.h"
#include "remote/remote_connect.h"

class DialogStatusSink : public CStatusSink {
 public:
  explicit DialogStatusSink(CDiRIRUVDlg& dialog) : dialog_(dialog) {}
  void ShowStatus(std::string text) override { dialog_.PostStatus(text); }
  bool Poll() override { return dialog_.progressDialog == nullptr || dialog_.progressDialog->Poll(); }

 private:
  CDiRIRUVDlg& dialog_;
};
