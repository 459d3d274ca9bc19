#pragma once

#include <span>
#include <string>

#include "platform/file_system.h"
#include "platform/stream.h"

// The whole run for the given masks: collects the files and writes the report
// to `out` and `err`. Returns the exit status: 0 done, 1 no masks, 3 a file
// that is not a matrix file, 4 a file that cannot be read. A failed write
// throws EInOutError, for the top-level handler.
int RunPellando(std::span<const std::string> masks, FileSystem& file_system, OutputStream& out,
                OutputStream& err);
