// The floor for the end-to-end benchmark: reads every file named on the command line (128
// bytes each) and writes as many bytes as the report has, in large writes, and nothing else.
//   floor <bytes> <file>...

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fputs("usage: floor <bytes> <file>...\n", stderr);
    return 2;
  }
  std::size_t checksum = 0;
  for (int i = 2; i < argc; ++i) {
    std::FILE* file = std::fopen(argv[i], "rb");
    unsigned char bytes[128];
    if (file == nullptr || std::fread(bytes, 1, sizeof bytes, file) != sizeof bytes) {
      std::fprintf(stderr, "floor: cannot read %s\n", argv[i]);
      return 1;
    }
    std::fclose(file);
    for (unsigned char byte : bytes) checksum += byte;
  }
  const std::vector<char> block(1 << 20, static_cast<char>('0' + checksum % 10));
  for (unsigned long long left = std::strtoull(argv[1], nullptr, 10); left != 0;) {
    const std::size_t size =
        static_cast<std::size_t>(std::min<unsigned long long>(left, block.size()));
    if (std::fwrite(block.data(), 1, size, stdout) != size) return 1;
    left -= size;
  }
  return std::fflush(stdout) == 0 ? 0 : 1;
}
