// Feeds arbitrary bytes to the OMF reader through a real file stream, as the
// IDE opens them.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include "ide/image/omf_decoder.h"

namespace {

// One scratch file per process, removed at exit.
class ScratchFile {
public:
  ScratchFile() {
    const char* dir = std::getenv("TMPDIR");
    std::string pattern = std::string(dir && *dir ? dir : "/tmp") + "/omf_fuzz_XXXXXX";
    int fd = ::mkstemp(pattern.data());
    if (fd < 0) {
      std::perror("mkstemp");
      std::abort();
    }
    ::close(fd);
    path_ = pattern;
  }
  ~ScratchFile() { std::remove(path_.c_str()); }
  const std::string& path() const { return path_; }

private:
  std::string path_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static ScratchFile scratch;
  {
    std::ofstream out(scratch.path(), std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    if (!out) std::abort();
  }
  std::ifstream in(scratch.path(), std::ios::binary);
  vx930::DecodeOmf omf;
  if (omf.ReadOmf(in)) {
    // A file the reader accepts must hold what the IDE relies on.
    if (!omf.GetModules() || !omf.Validate()) std::abort();
    for (const vx930::OmfModule* m = omf.GetModules(); m; m = m->Next)
      for (const vx930::OmfProcedure* p = m->Procs; p; p = p->Next) {
        if (p->HiAddr > 0xFFFF || p->LoAddr > 0xFFFF) std::abort();
        for (const vx930::OmfLineBlock* b = p->Lines; b; b = b->Next)
          if (b->Entries.size() != b->Count) std::abort();
      }
  }
  return 0;
}
