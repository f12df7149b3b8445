#include "core/blockcopy.h"

#include <memory>

namespace trosk {

long long readblocks(FILE* in, const BlockSink& sink) {
  auto block = std::make_unique_for_overwrite<char[]>(kCopyBlock);
  long long total = 0;
  std::size_t got;
  while ((got = std::fread(block.get(), 1, kCopyBlock, in)) > 0) {
    if (!sink(block.get(), got)) return -2;
    total += static_cast<long long>(got);
  }
  return std::ferror(in) ? -1 : total;
}

std::string readwholefile(const std::string& path) {
  std::unique_ptr<FILE, int (*)(FILE*)> in(std::fopen(path.c_str(), "rb"), &std::fclose);
  std::string text;
  if (in && readblocks(in.get(), [&text](const char* data, std::size_t n) {
        text.append(data, n);
        return true;
      }) < 0)
    text.clear();
  return text;
}

long long copystream(FILE* in, FILE* out) {
  return readblocks(in, [out](const char* data, std::size_t n) {
    return std::fwrite(data, 1, n, out) == n;
  });
}

}  // namespace trosk
