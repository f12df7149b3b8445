#include "xml/txtfil.h"

#include <sys/stat.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <memory>

#include "core/memory.h"
#include "core/output.h"
#include "core/runcontext.h"

namespace trosk {

namespace {

constexpr std::size_t kBlock = std::size_t{1} << 20;

struct FileCloser {
  void operator()(FILE* f) const { std::fclose(f); }
};

// What each byte becomes after the translation pairs, applied in order.
std::array<unsigned char, 256> translationmap(const char* translation) {
  std::array<unsigned char, 256> map;
  for (int c = 0; c < 256; ++c) map[c] = static_cast<unsigned char>(c);
  if (!translation) return map;
  std::size_t pairs = std::strlen(translation) / 2;
  for (int c = 0; c < 256; ++c) {
    for (std::size_t i = 0; i < pairs; ++i) {
      if (map[c] == static_cast<unsigned char>(translation[i]))
        map[c] = static_cast<unsigned char>(translation[pairs + i]);
    }
  }
  return map;
}

// Bytes still to come from the current position of a regular file, or -1
// when the stream's size is unknown (a pipe).
long long remainingsize(FILE* in) {
  struct stat st;
  if (fstat(fileno(in), &st) != 0 || !S_ISREG(st.st_mode)) return -1;
  long long pos = ftello(in);
  if (pos < 0) pos = 0;
  return st.st_size > pos ? st.st_size - pos : 0;
}

void reporttoolarge(RunContext& rc, const char* path, unsigned long long size) {
  printmsg(rc, "File %s is too large to read: %llu bytes (at most %llu)\n",
           path ? path : "(stream)", size, static_cast<unsigned long long>(kMaxTextFile));
}

struct Reader {
  std::array<unsigned char, 256> map;
  int terminator;
  bool plain;  // no translation
  bool countLines;
  long lines = 0;
  bool pendingCR = false;  // a CR ended the last block; the next byte decides
  bool stopped = false;    // a NUL (or the terminator) ended the text

  // Emits one translated byte. Returns false when it ends the text.
  bool emit(unsigned char raw, char* out, std::size_t& w) {
    unsigned char c = map[raw];
    if (terminator != 0 && c == static_cast<unsigned char>(terminator)) c = 0;
    if (c == 0) {
      stopped = true;
      return false;
    }
    lines += c == '\n';
    out[w++] = static_cast<char>(c);
    return true;
  }

  // Appends the block to out at w (out has room for the block and a held CR).
  void take(const unsigned char* block, std::size_t got, char* out, std::size_t& w) {
    if (pendingCR) {
      pendingCR = false;
      if (got == 0 || block[0] != '\n') {
        if (!emit('\r', out, w)) return;
      }
    }
    if (plain)
      takeplain(block, got, out, w);
    else
      takemapped(block, got, out, w);
  }

  // Without translation only CR, NUL and the terminator need a look, so the
  // runs between them are moved whole. The block may lie in `out` itself,
  // at or after w: the text only ever shrinks as it is taken.
  void takeplain(const unsigned char* block, std::size_t got, char* out, std::size_t& w) {
    auto offset = [&](const void* at, std::size_t none) {
      return at ? static_cast<std::size_t>(static_cast<const unsigned char*>(at) - block) : none;
    };
    std::size_t end = offset(std::memchr(block, 0, got), got);
    if (terminator != 0) end = offset(std::memchr(block, terminator, end), end);
    std::size_t i = 0;
    while (i < end) {
      std::size_t run = offset(std::memchr(block + i, '\r', end - i), end) - i;
      if (countLines) lines += static_cast<long>(std::count(block + i, block + i + run, '\n'));
      // Read in place with no CR before it, a run already stands where it goes.
      if (out + w != reinterpret_cast<const char*>(block) + i) std::memmove(out + w, block + i, run);
      w += run;
      i += run;
      if (i == end) break;
      if (i + 1 == got) {  // a CR that ends the block waits for the next byte
        pendingCR = true;
        return;
      }
      if (block[i + 1] != '\n') out[w++] = '\r';
      ++i;
    }
    if (end < got) stopped = true;
  }

  void takemapped(const unsigned char* block, std::size_t got, char* out, std::size_t& w) {
    for (std::size_t i = 0; i < got; ++i) {
      unsigned char raw = block[i];
      if (raw == '\r') {
        if (i + 1 == got) {
          pendingCR = true;
          return;
        }
        if (block[i + 1] == '\n') continue;
      }
      if (!emit(raw, out, w)) return;
    }
  }
};

}  // namespace

TextBuffer txtfil(RunContext& rc, const char* path, std::size_t* length, FILE* stream, int terminator,
                  const char* translation, long* lines) {
  std::unique_ptr<FILE, FileCloser> owned;
  FILE* in = stream;
  if (path) {
    owned.reset(std::fopen(path, "rb"));
    in = owned.get();
  }
  if (!in) return nullptr;
  long long size = remainingsize(in);
  if (size > static_cast<long long>(kMaxTextFile)) {
    reporttoolarge(rc, path, static_cast<unsigned long long>(size));
    return nullptr;
  }
  Reader reader{translationmap(translation), terminator & 0xFF, !translation || !*translation,
                lines != nullptr};
  // Plain text is read straight into its buffer and taken there; a block
  // more than the size gives the reading that finds the end its room, and
  // memory never written costs nothing.
  std::size_t cap = (size >= 0 ? static_cast<std::size_t>(size) : 0) + kBlock;
  TextBuffer text(static_cast<char*>(allocmem(cap + 1, "txtfil")));
  std::unique_ptr<unsigned char[]> block;
  if (!reader.plain) block = std::make_unique<unsigned char[]>(kBlock);
  if (!text) return nullptr;
  if (size > 0) prefault(text.get(), static_cast<std::size_t>(size));

  std::size_t w = 0;
  std::size_t r = 0;  // bytes read: the buffer's unread end (plain text)
  unsigned long long raw = 0;
  while (!reader.stopped) {
    std::size_t room = block ? kBlock : cap - r;
    if (room == 0) {  // the file grew, or its size was unknown
      std::size_t grown = std::min(std::max(cap * 2, cap + kBlock), kMaxTextFile + kBlock);
      char* bigger = static_cast<char*>(reallocmem(text.get(), grown + 1, "txtfil"));
      if (!bigger) return nullptr;
      text.release();
      text.reset(bigger);
      cap = grown;
      room = cap - r;
    }
    unsigned char* into = block ? block.get() : reinterpret_cast<unsigned char*>(text.get() + r);
    std::size_t got = std::fread(into, 1, std::min(room, kBlock), in);
    if (got == 0) break;
    raw += got;
    if (raw > kMaxTextFile) {
      reporttoolarge(rc, path, raw);
      return nullptr;
    }
    std::size_t need = w + got + (reader.pendingCR ? 1 : 0);
    if (block && need > cap) {
      std::size_t grown = std::max(std::min(cap * 2, kMaxTextFile), need);
      char* bigger = static_cast<char*>(reallocmem(text.get(), grown + 1, "txtfil"));
      if (!bigger) return nullptr;
      text.release();
      text.reset(bigger);
      cap = grown;
    }
    if (!block) into = reinterpret_cast<unsigned char*>(text.get() + r);
    r += got;
    reader.take(into, got, text.get(), w);
  }
  if (reader.pendingCR) reader.emit('\r', text.get(), w);
  text.get()[w] = '\0';
  if (cap - w >= 512) {
    char* smaller = static_cast<char*>(reallocmem(text.get(), w + 1, "txtfil2"));
    if (smaller) {
      text.release();
      text.reset(smaller);
    }
  }
  if (length) *length = w;
  if (lines) *lines = reader.lines;
  return text;
}

}  // namespace trosk
