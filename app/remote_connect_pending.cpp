// The remote path is not built yet: a remote launch reports that plainly and ends.
#include "app/main_dialog.h"
#include "app/remote_connect.h"

bool ConnectRemote(CDiRIRUVDlg& dialog, int32_t connectionType, std::string* versionText, int32_t* versionValue) {
  (void)connectionType;
  (void)versionText;
  (void)versionValue;
  dialog.PostStatus("ERROR: Connecting by system name is not available in this build");
  return false;
}

void DisposeRemoteObjects() {}
