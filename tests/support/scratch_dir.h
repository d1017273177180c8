// A folder of its own for one test, made empty when the object is made and
// removed with everything in it when the object goes. Its name carries the
// process and the running test, so parallel test programs never share one.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>

namespace vx930::testing {

class ScratchDir {
public:
  explicit ScratchDir(const std::string& prefix) {
    std::string name = prefix + "_" + std::to_string(::getpid());
    if (const auto* test = ::testing::UnitTest::GetInstance()->current_test_info())
      name += std::string("_") + test->test_suite_name() + "_" + test->name();
    path_ = std::filesystem::temp_directory_path() / name;
    std::filesystem::remove_all(path_);
    std::filesystem::create_directories(path_);
  }
  ~ScratchDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;

  const std::filesystem::path& path() const { return path_; }
  std::string string() const { return path_.string(); }
  std::filesystem::path operator/(const std::filesystem::path& name) const { return path_ / name; }

private:
  std::filesystem::path path_;
};

}  // namespace vx930::testing
