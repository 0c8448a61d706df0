// Files and folders over POSIX. "No sharing" is an exclusive advisory lock taken
// without waiting: a second opener that also asks for it is refused, as the
// launcher's files expect.
#include "platform/files.h"

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>

namespace platform {
namespace {

int OpenFlags(FileOpenMode mode) {
  switch (mode) {
    case FileOpenMode::kReadExisting:
      return O_RDONLY;
    case FileOpenMode::kCreateTruncate:
      return O_WRONLY | O_CREAT | O_TRUNC;
    case FileOpenMode::kOpenAppend:
      return O_WRONLY | O_CREAT;
  }
  return O_RDONLY;
}

// An existing file that nobody may write. Root could open it for writing anyway;
// it is left alone for every user, so a read-only log or LOGIN.DAT is never
// replaced. A file we are about to create does not count, whatever the umask.
bool IsReadOnlyFile(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
         (info.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0;
}

}  // namespace

FileHandle OpenFile(const std::string& path, FileOpenMode mode, bool exclusive) {
  if (mode != FileOpenMode::kReadExisting && IsReadOnlyFile(path)) return kInvalidFile;
  // Truncation waits until the lock is ours, so a file held by another opener is
  // not emptied under it.
  const bool truncate = mode == FileOpenMode::kCreateTruncate;
  const int flags = (OpenFlags(mode) & ~(truncate ? O_TRUNC : 0)) | O_CLOEXEC;
  // Private to the user: LOGIN.DAT holds a password in plain text.
  const int fd = ::open(path.c_str(), flags, 0600);
  if (fd < 0) return kInvalidFile;
  struct stat info {};
  if (fstat(fd, &info) != 0 || S_ISDIR(info.st_mode)) {
    ::close(fd);
    return kInvalidFile;
  }
  if (exclusive && flock(fd, LOCK_EX | LOCK_NB) != 0) {
    ::close(fd);
    return kInvalidFile;
  }
  if (truncate && ftruncate(fd, 0) != 0) {
    ::close(fd);
    return kInvalidFile;
  }
  if (mode == FileOpenMode::kOpenAppend && lseek(fd, 0, SEEK_END) < 0) {
    ::close(fd);
    return kInvalidFile;
  }
  return fd;
}

void CloseFile(FileHandle file) {
  if (file >= 0) ::close(file);
}

bool ReadFile(FileHandle file, void* destination, int n, int* got) {
  *got = 0;
  if (file < 0 || n < 0) return false;
  ssize_t result;
  do {
    result = ::read(file, destination, static_cast<size_t>(n));
  } while (result < 0 && errno == EINTR);
  if (result < 0) return false;
  *got = static_cast<int>(result);
  return true;
}

bool WriteFile(FileHandle file, const void* bytes, int n, int* written) {
  *written = 0;
  if (file < 0 || n < 0) return false;
  const char* next = static_cast<const char*>(bytes);
  int left = n;
  while (left > 0) {
    const ssize_t result = ::write(file, next, static_cast<size_t>(left));
    if (result < 0 && errno == EINTR) continue;
    if (result <= 0) return false;
    next += result;
    left -= static_cast<int>(result);
    *written += static_cast<int>(result);
  }
  return true;
}

int64_t FileSize(FileHandle file) {
  struct stat info {};
  if (file < 0 || fstat(file, &info) != 0) return -1;
  return static_cast<int64_t>(info.st_size);
}

int64_t FilePointer(FileHandle file) {
  if (file < 0) return -1;
  return static_cast<int64_t>(lseek(file, 0, SEEK_CUR));
}

bool MoveFile(const std::string& from, const std::string& to) {
  return syscall(SYS_renameat2, AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0;
}

bool PathExists(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0;
}

CreateFolderResult CreateFolder(const std::string& path) {
  if (::mkdir(path.c_str(), 0755) == 0) return CreateFolderResult::kCreated;
  return errno == EEXIST ? CreateFolderResult::kAlreadyExists : CreateFolderResult::kFailed;
}

namespace {

std::string* g_programFolder = nullptr;

}  // namespace

ScopedProgramFolderOverride::ScopedProgramFolderOverride(const std::string& folder)
    : previous_(g_programFolder != nullptr ? *g_programFolder : std::string()), hadPrevious_(g_programFolder != nullptr) {
  delete g_programFolder;
  g_programFolder = new std::string(folder);
}

ScopedProgramFolderOverride::~ScopedProgramFolderOverride() {
  delete g_programFolder;
  g_programFolder = hadPrevious_ ? new std::string(previous_) : nullptr;
}

}  // namespace platform

std::string GetProgramFolder() {
  if (platform::g_programFolder != nullptr) return *platform::g_programFolder;
  char path[4096];
  const ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
  if (length <= 0) return std::string();
  const std::string full(path, static_cast<size_t>(length));
  const size_t slash = full.rfind('/');
  if (slash == std::string::npos) return std::string();
  return full.substr(0, slash);
}
