#include "versions/version_folder.h"

#include "platform/files.h"

bool CreateVersionFolder(const std::string& base, const std::string& name) {
  platform::CreateFolderResult result = platform::CreateFolder(base + "/" + name);
  return result != platform::CreateFolderResult::kFailed;
}
