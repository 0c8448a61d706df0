#include "app/connect_dialog.h"

#include "app/dialog_templates.h"
#include "app/log_file.h"
#include "app/zk_time.h"
#include "platform/clock.h"

CConnectDlg::CConnectDlg(ui::Dialog* parent) : ui::Dialog(ProgressDialogTemplate(), parent) {}

void CConnectDlg::ShowStatus(std::string text) {
  const int index = ListAddString(IDC_PROGRESS_LINES, text);
  ListSetCurSel(IDC_PROGRESS_LINES, index);
  // The caller is busy on this thread and will not return to the event loop soon.
  RedrawNow();
  logLines_.push_back(FormatStatusLine(CZkTime(), text));
  platform::CurrentClock().Sleep(0);
}

bool CConnectDlg::Poll() {
  if (cancelled_) return false;
  ui::CurrentToolkit().PumpOneEvent();
  return true;
}

void CConnectDlg::WriteLog(const std::string& fileName, const std::string& systemName) const {
  WriteLogFile(fileName, systemName, logLines_);
}

void CConnectDlg::OnCommand(int id, ui::Notification notification) {
  if (id == IDC_PROGRESS_CANCEL && notification == ui::Notification::kClicked) OnCancel();
}
