#include <windows.h>

#include "platform/process.h"

void InitProcess() {
  // No message boxes: a drive without a medium or a crash must not wait for
  // somebody to click.
  ::SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX);
}

std::string ModuleName(const char* argv0) {
  char path[MAX_PATH];
  const DWORD size = ::GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string name = size > 0 && size < MAX_PATH ? std::string(path, size)
                     : argv0 != nullptr          ? std::string(argv0)
                                                 : std::string();
  const std::size_t separator = name.find_last_of("\\/:");
  if (separator != std::string::npos) name.erase(0, separator + 1);
  return name.empty() ? "pellando.exe" : name;
}

std::uintptr_t ImageOffset(const void* address) {
  const auto* base = reinterpret_cast<const unsigned char*>(::GetModuleHandleA(nullptr));
  const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
  const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
  const auto at = reinterpret_cast<std::uintptr_t>(address);
  const auto start = reinterpret_cast<std::uintptr_t>(base);
  return at >= start && at - start < nt->OptionalHeader.SizeOfImage ? at - start : 0;
}

// The console streams put every write into the console's code page, the
// top-level report included, so it is passed on unchanged here.
std::string ToConsoleEncoding(std::string_view text) { return std::string(text); }
