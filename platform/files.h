// Files and folders: the few operations the launcher's own files need (LOGIN.DAT,
// the log file, "Rivavareda.dat", the version folders). Paths are byte strings and
// are passed to the system unchanged; every descriptor is close-on-exec.
#pragma once

#include <cstdint>
#include <string>

namespace platform {

using FileHandle = int;
constexpr FileHandle kInvalidFile = -1;

enum class FileOpenMode {
  kReadExisting,    // the file must exist; read only
  kCreateTruncate,  // created, or emptied when it exists; write only
  kOpenAppend,      // opened or created; write only, positioned at its end
};

// `exclusive`: no other opener may share the file while it is open (the
// launcher's "no sharing"); a file held that way by someone else fails to open.
// An existing file without any write permission is read-only: the two writing
// modes refuse it, for root as for everyone else.
FileHandle OpenFile(const std::string& path, FileOpenMode mode, bool exclusive);
void CloseFile(FileHandle file);

// Reads up to n bytes; *got is what arrived (0 at the end of the file). False on an
// error of the system.
bool ReadFile(FileHandle file, void* destination, int n, int* got);
// Writes n bytes; *written is what the system took. False on an error.
bool WriteFile(FileHandle file, const void* bytes, int n, int* written);
// Size in bytes, or -1.
int64_t FileSize(FileHandle file);
// The file pointer, or -1.
int64_t FilePointer(FileHandle file);

// Moves a file; fails when something already has the target's name.
bool MoveFile(const std::string& from, const std::string& to);
bool PathExists(const std::string& path);

enum class CreateFolderResult { kCreated, kAlreadyExists, kFailed };
// Creates one folder; missing parents are not made.
CreateFolderResult CreateFolder(const std::string& path);

// Makes GetProgramFolder() answer `folder` while it lives, so a test can give the
// launcher a folder of its own without copying executables around.
class ScopedProgramFolderOverride {
 public:
  explicit ScopedProgramFolderOverride(const std::string& folder);
  ~ScopedProgramFolderOverride();
  ScopedProgramFolderOverride(const ScopedProgramFolderOverride&) = delete;
  ScopedProgramFolderOverride& operator=(const ScopedProgramFolderOverride&) = delete;

 private:
  std::string previous_;
  bool hadPrevious_;
};

}  // namespace platform

// The folder of the running executable, without a trailing "/": the launcher folder.
// Empty when the system will not tell.
std::string GetProgramFolder();
