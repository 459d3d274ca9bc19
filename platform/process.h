#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// Prepares the process before anything else runs: the user's locale for the
// name comparison, failed writes to a closed pipe reported as errors rather
// than signals, and closed standard streams kept closed for writing.
void InitProcess();

// The executable's file name without its directory.
std::string ModuleName(const char* argv0);

// `address` as an offset from the start of the executable's image, or 0 when
// it lies outside it.
std::uintptr_t ImageOffset(const void* address);

// The top-level report in the encoding of the terminal it goes to.
std::string ToConsoleEncoding(std::string_view text);
