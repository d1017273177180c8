#include "platform/shared_library.h"

#include <dlfcn.h>

namespace platform {

SharedLibrary::~SharedLibrary() { Close(); }

bool SharedLibrary::Open(const std::string& path) {
  Close();
  error_.clear();
  handle_ = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!handle_) {
    const char* e = ::dlerror();
    error_ = e ? e : path + ": cannot be loaded";
    return false;
  }
  return true;
}

void* SharedLibrary::Symbol(const char* name) const {
  if (!handle_) return nullptr;
  ::dlerror();
  return ::dlsym(handle_, name);
}

void SharedLibrary::Close() {
  if (handle_) ::dlclose(handle_);
  handle_ = nullptr;
}

}  // namespace platform
