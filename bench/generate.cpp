// Writes `count` matrix files m00000.bin, m00001.bin, ... into an existing folder, the same
// bytes on every run: each file is one of eight base matrix files with a little noise, so that
// the similarities spread over the whole range.
//   generate <folder> <count>

#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fputs("usage: generate <folder> <count>\n", stderr);
    return 2;
  }
  const std::string folder = argv[1];
  const long count = std::strtol(argv[2], nullptr, 10);
  std::mt19937_64 random(6);
  unsigned char bases[8][128];
  for (auto& base : bases) {
    for (auto& byte : base) byte = static_cast<unsigned char>(random());
  }
  for (long i = 0; i < count; ++i) {
    const auto& base = bases[random() % 8];
    const int noise = 1 << (random() % 6);  // 1 to 32
    unsigned char bytes[128];
    for (int k = 0; k < 128; ++k) bytes[k] = static_cast<unsigned char>(base[k] + random() % noise);
    char name[32];
    std::snprintf(name, sizeof name, "/m%05ld.bin", i);
    std::FILE* file = std::fopen((folder + name).c_str(), "wb");
    if (file == nullptr || std::fwrite(bytes, 1, sizeof bytes, file) != sizeof bytes ||
        std::fclose(file) != 0) {
      std::fprintf(stderr, "generate: cannot write %s%s\n", folder.c_str(), name);
      return 1;
    }
  }
  return 0;
}
