// Holds the file named by its argument open without sharing, so that every
// other open of it fails, until its standard input ends. Says "held" on its
// standard output once the file is open.
#include <windows.h>

int main(int argc, char** argv) {
  if (argc != 2) return 2;
  const HANDLE file = ::CreateFileA(argv[1], GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return 1;
  DWORD put = 0;
  ::WriteFile(::GetStdHandle(STD_OUTPUT_HANDLE), "held\n", 5, &put, nullptr);
  char input;
  DWORD got = 0;
  while (::ReadFile(::GetStdHandle(STD_INPUT_HANDLE), &input, 1, &got, nullptr) && got > 0) {
  }
  ::CloseHandle(file);
  return 0;
}
