#include "app/run.h"

#include "app/collect.h"
#include "report/report.h"

int RunPellando(std::span<const std::string> masks, FileSystem& file_system, OutputStream& out,
                OutputStream& err) {
  if (masks.empty()) {
    WriteLine(err, "Syntax: Pellando <filemask> [...]");
    return 1;
  }
  try {
    const FileList list = CollectFiles(masks, file_system);
    WriteReport(list, out, err);
  } catch (const EMatrixFileError& error) {
    for (const std::string& line : error.lines()) WriteLine(err, line);
    return error.status();
  }
  return 0;
}
