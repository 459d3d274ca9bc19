#include <string>
#include <vector>

#include "app/run.h"
#include "platform/process.h"
#include "platform/top_level.h"

int main(int argc, char** argv) {
  InitProcess();
  try {
    const std::vector<std::string> masks(argv + (argc > 0 ? 1 : 0), argv + argc);
    return RunPellando(masks, HostFileSystem(), StandardOutput(), StandardError());
  } catch (...) {
    return ReportUncaughtException(std::current_exception(), ModuleName(argv[0]), StandardOutput(),
                                   StandardError());
  }
}
