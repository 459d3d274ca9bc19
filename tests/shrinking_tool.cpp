// The tool as app/main.cpp builds it, but on a file system that cuts a file
// short between the two opens of the loader: a file named "shrink-to-<n>..."
// is truncated to n bytes on disk just before it is opened the second time.
// It lets the end-to-end tests produce that race deterministically.
#include <unistd.h>

#include <map>
#include <string>
#include <vector>

#include "app/run.h"
#include "platform/process.h"
#include "platform/top_level.h"

namespace {

class ShrinkOnReopen : public FileSystem {
 public:
  explicit ShrinkOnReopen(FileSystem& host) : host_(host) {}

  std::vector<std::string> FindFiles(const std::string& mask) override {
    return host_.FindFiles(mask);
  }

  std::unique_ptr<File> OpenRead(const std::string& path) override {
    static constexpr std::string_view kPrefix = "shrink-to-";
    const std::string name = path.substr(path.rfind('/') + 1);  // npos + 1 is 0
    if (name.starts_with(kPrefix) && ++opens_[path] == 2) {
      const long size = std::stol(name.substr(kPrefix.size()));
      if (::truncate(path.c_str(), size) != 0) throw std::runtime_error("truncate failed");
    }
    return host_.OpenRead(path);
  }

 private:
  FileSystem& host_;
  std::map<std::string, int> opens_;
};

}  // namespace

int main(int argc, char** argv) {
  InitProcess();
  try {
    ShrinkOnReopen file_system(HostFileSystem());
    const std::vector<std::string> masks(argv + (argc > 0 ? 1 : 0), argv + argc);
    return RunPellando(masks, file_system, StandardOutput(), StandardError());
  } catch (...) {
    return ReportUncaughtException(std::current_exception(), ModuleName(argv[0]), StandardOutput(),
                                   StandardError());
  }
}
