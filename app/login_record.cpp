#include "app/login_record.h"

#include "app/zk_file.h"
#include "platform/files.h"

namespace {

bool ReadAddress(CZkFile* file, uint32_t* address) {
  uint32_t value = 0;
  if (!file->ReadExact(&value, sizeof value)) return false;
  *address = value;
  return true;
}

bool ReadFlag(CZkFile* file, int* flag) {
  int32_t value = 0;
  if (!file->ReadInt(&value)) return false;
  *flag = value;
  return true;
}

// Fields 1 to 6.
bool WriteIdentity(CZkFile* file, const LoginRecord& record, bool wasLocal) {
  if (record.rememberLogin == 0) {
    uint32_t noAddress = 0;
    return file->WriteString("") && file->WriteString("") && file->WriteInt(0) &&
           file->Write(&noAddress, sizeof noAddress) && file->WriteInt(record.optionsExpanded) &&
           file->WriteInt(0);
  }
  return file->WriteString(record.systemName) && file->WriteString(record.password) &&
         file->WriteInt(wasLocal ? 1 : 0) &&
         file->Write(&record.lastAddress, sizeof record.lastAddress) &&
         file->WriteInt(record.optionsExpanded) && file->WriteInt(1);
}

}  // namespace

std::string LoginFilePath() { return GetProgramFolder() + "/LOGIN.DAT"; }

bool ReadLoginRecord(const std::string& path, LoginRecord* record) {
  CZkFile file(path);
  if (!file.Open(CZkFile::modeRead, CZkFile::shareNone)) return false;
  int wasLocal = 0;
  // Each field is tried even when the one before failed.
  file.ReadString(&record->systemName);
  file.ReadString(&record->password);
  ReadFlag(&file, &wasLocal);
  ReadAddress(&file, &record->lastAddress);
  ReadFlag(&file, &record->optionsExpanded);
  ReadFlag(&file, &record->rememberLogin);
  ReadFlag(&file, &record->osdMode);
  ReadFlag(&file, &record->smallScreen);
  file.Close();
  return true;
}

bool WriteLoginRecord(const std::string& path, const LoginRecord& record, bool wasLocal) {
  CZkFile file(path);
  if (!file.Open(CZkFile::modeCreate, CZkFile::shareNone)) return false;
  int remember = record.rememberLogin != 0 ? 1 : 0;
  bool ok = WriteIdentity(&file, record, wasLocal) && file.WriteInt(record.osdMode) &&
            file.WriteInt(record.smallScreen) && file.WriteInt(remember) && file.Flush();
  file.Close();
  return ok;
}
