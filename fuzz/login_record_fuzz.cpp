// Feeds arbitrary bytes to the LOGIN.DAT reader. The file is the only way in, so
// each input is written to a scratch file of this process and read from there.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <string>

#include "app/login_record.h"

namespace {

// One file per process, so parallel fuzzing jobs never read each other's input.
class ScratchFile {
 public:
  ScratchFile() : path_("/tmp/tw_login_record_fuzz_" + std::to_string(getpid()) + ".dat") {}
  ~ScratchFile() { std::remove(path_.c_str()); }
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

const std::string& ScratchPath() {
  static const ScratchFile file;
  return file.path();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  {
    std::ofstream out(ScratchPath(), std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  }
  LoginRecord record;
  ReadLoginRecord(ScratchPath(), &record);
  return 0;
}
