// Runs a libFuzzer harness without libFuzzer: feeds LLVMFuzzerTestOneInput a fixed pseudo-random
// corpus, the same on every run, then every file of the given corpus folders (seeds and the inputs
// that once failed), so the harness runs under the sanitizers as an ordinary test.
// Usage: <harness> [count [folder or file...]]
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace {
uint64_t state = 0x9E3779B97F4A7C15ull;

uint32_t Next()
{
  state ^= state << 13;
  state ^= state >> 7;
  state ^= state << 17;
  return static_cast<uint32_t>(state >> 32);
}

// Bytes that mean something to the code under test: separators, quotes, path delimiters, signs,
// digits, blanks, GBK lead bytes and 0x5C trail bytes, NUL.
const uint8_t kInteresting[] = {';', ',', '\'', '\\', ':', '.', ' ', '\t', '\r', '\n', '+', '-',
                                '0', '1', '2', '7', '8', '9', 'a', 'Z', 0x81, 0x9C, 0xB7, 0xFE,
                                0x5C, 0x40, 0x7F, 0x80, 0xFF, 0x00, 0x1F, 0x20};
}  // namespace

int main(int argc, char** argv)
{
  int count = argc > 1 ? std::atoi(argv[1]) : 5000;
  std::vector<uint8_t> input;
  LLVMFuzzerTestOneInput(nullptr, 0);
  for (int n = 0; n < count; ++n) {
    size_t size = Next() % (n < count / 2 ? 16 : 80);
    input.resize(size);
    // Fully random bytes, bytes from the whole interesting set, or from a few of them only (long
    // runs of digits, separators or quotes).
    uint32_t mode = Next() % 4;
    uint8_t few[3];
    for (uint8_t& b : few)
      b = kInteresting[Next() % sizeof(kInteresting)];
    for (uint8_t& b : input) {
      if (mode == 0)
        b = static_cast<uint8_t>(Next());
      else if (mode == 1)
        b = few[Next() % sizeof(few)];
      else
        b = kInteresting[Next() % sizeof(kInteresting)];
    }
    LLVMFuzzerTestOneInput(input.data(), input.size());
  }
  int files = 0;
  for (int a = 2; a < argc; ++a) {
    std::vector<std::filesystem::path> paths;
    if (std::filesystem::is_directory(argv[a])) {
      for (const auto& entry : std::filesystem::directory_iterator(argv[a]))
        if (entry.is_regular_file())
          paths.push_back(entry.path());
      std::sort(paths.begin(), paths.end());
    } else if (std::filesystem::exists(argv[a])) {
      paths.push_back(argv[a]);
    } else {
      std::fprintf(stderr, "no corpus at %s\n", argv[a]);
      return 1;
    }
    for (const auto& path : paths) {
      std::ifstream file(path, std::ios::binary);
      const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
      std::printf("%s\n", path.filename().c_str());
      std::fflush(stdout);  // a failing input is named before its failure
      LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
      ++files;
    }
  }
  std::printf("%d inputs run, %d of them corpus files\n", count + 1 + files, files);
  return 0;
}
