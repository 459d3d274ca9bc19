// The straightforward baseline for the end-to-end benchmark: the same report computed the
// obvious way, with the x87 80-bit type in hardware, plain loops, every measure evaluated afresh
// for every table cell, and printf. Takes the files in the order given.
//   baseline <file>...

#include <cfloat>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <vector>

static_assert(LDBL_MANT_DIG == 64, "the baseline needs the x87 80-bit long double");

namespace {

struct File {
  const char* name;
  unsigned char intra[64];
  unsigned char inter[64];
};

double Similarity(const unsigned char* a, const unsigned char* b) {
  double s = 1.0;
  for (int place = 0; place < 8; ++place) {
    for (int group = 0; group < 8; ++group) {
      const int d = a[8 * group + place] - b[8 * group + place];
      const long double factor = 1.0L - (d * d) / 65536.0L;
      s = static_cast<double>(factor * s);
    }
  }
  return s;
}

double Intra(const File& a, const File& b) { return Similarity(a.intra, b.intra); }
double Inter(const File& a, const File& b) { return Similarity(a.inter, b.inter); }
long double Overall(const File& a, const File& b) {
  return sqrtl(static_cast<long double>(Intra(a, b)) * Inter(a, b));
}

// Five decimals from the value rounded to 17 decimals, half up from the sixth.
void PrintValue(long double value) {
  const auto scaled = static_cast<unsigned long long>(nearbyintl(value * 1e17L));
  unsigned long long units = scaled / 100000000000000000ULL;
  const unsigned long long fraction = scaled % 100000000000000000ULL;
  unsigned long long decimals =
      fraction / 1000000000000ULL + (fraction % 1000000000000ULL >= 500000000000ULL);
  if (decimals == 100000) {
    decimals = 0;
    ++units;
  }
  std::printf("%llu.%05llu\t", units, decimals);
}

void PrintTable(const char* title, const std::vector<File>& files,
                long double (*measure)(const File&, const File&)) {
  const std::size_t n = files.size();
  std::printf("%s\r\n\t", title);
  for (std::size_t q = 1; q < n; ++q) std::printf("[%3zu]\t", q + 1);
  std::printf("\r\n");
  for (std::size_t r = 0; r + 1 < n; ++r) {
    std::printf("[%3zu]\t", r + 1);
    for (std::size_t i = 0; i < r; ++i) std::printf("\t");
    for (std::size_t q = r + 1; q < n; ++q) PrintValue(measure(files[q], files[r]));
    std::printf("\r\n");
  }
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<File> files;
  for (int i = 1; i < argc; ++i) {
    File file;
    const char* slash = std::strrchr(argv[i], '/');
    file.name = slash != nullptr ? slash + 1 : argv[i];
    std::FILE* in = std::fopen(argv[i], "rb");
    if (in == nullptr || std::fread(file.intra, 1, 64, in) != 64 ||
        std::fread(file.inter, 1, 64, in) != 64) {
      std::fprintf(stderr, "baseline: cannot read %s\n", argv[i]);
      return 1;
    }
    std::fclose(in);
    files.push_back(file);
  }
  for (std::size_t p = 0; p < files.size(); ++p)
    std::printf("[%3zu]\t%s\r\n", p + 1, files[p].name);
  std::printf("\r\n");
  std::fprintf(stderr, "%zu files to cross-compare:\r\n", files.size());
  PrintTable("Intra matrix similarities:", files,
             [](const File& a, const File& b) -> long double { return Intra(a, b); });
  std::printf("\r\n");
  PrintTable("Inter matrix similarities:", files,
             [](const File& a, const File& b) -> long double { return Inter(a, b); });
  std::printf("\r\n");
  PrintTable("Overall similarities:", files, Overall);
  if (std::fflush(stdout) != 0) return 1;
  std::fprintf(stderr, "\rCross compare finished.\r\n");
  return 0;
}
