// A library loaded at run time (dlopen), with its entry points looked up by
// name. The library stays loaded until Close() or the object goes.
#pragma once

#include <string>

namespace platform {

class SharedLibrary {
public:
  SharedLibrary() = default;
  ~SharedLibrary();
  SharedLibrary(const SharedLibrary&) = delete;
  SharedLibrary& operator=(const SharedLibrary&) = delete;

  // Loads the file (a bare name is searched as the system's loader does);
  // false, with Error() saying why, when it cannot be loaded. A loaded
  // library is closed first.
  bool Open(const std::string& path);
  bool IsOpen() const { return handle_ != nullptr; }
  // The address of an exported symbol, or null when there is none.
  void* Symbol(const char* name) const;
  void Close();
  const std::string& Error() const { return error_; }

private:
  void* handle_ = nullptr;
  std::string error_;
};

}  // namespace platform
