#include "core/strutil.h"

namespace trosk {

const char* const kSkipKeyword = reinterpret_cast<const char*>(-1);

int copystr(const char* source, char* dest, int limit) {
  if (limit <= 0) limit = 255;
  int n = 0;
  while (n < limit && source[n] != '\0') {
    dest[n] = source[n];
    ++n;
  }
  dest[n] = '\0';
  return n;
}

int findkey(const char* text, const char* const* table) {
  int found = -1;
  for (int i = 0; table[i] != nullptr; ++i) {
    const char* entry = table[i];
    if (entry == kSkipKeyword) continue;
    int k = 0;
    while (text[k] != '\0' && entry[k] == text[k]) ++k;
    if (text[k] != '\0') continue;  // differs, or the entry ended first
    if (entry[k] == '\0') return i;
    if (found >= 0 || k == 0) return -1;
    found = i;
  }
  return found;
}

int findletter(char c, const char* letters) {
  for (int i = 0; letters[i] != '\0' && letters[i] != '\n'; ++i) {
    if (letters[i] == c) return i;
  }
  return -1;
}

int lowerstr(char* text) {
  for (; *text; ++text) {
    if (*text >= 'A' && *text <= 'Z') *text = static_cast<char>(*text - 'A' + 'a');
  }
  return 0;
}

int isnumber(const char* text) {
  int n = 0;
  bool dot = false;
  while ((text[n] >= '0' && text[n] <= '9') || text[n] == '.') {
    if (text[n] == '.') dot = true;
    ++n;
  }
  if (n == 0) return 0;
  if (text[n] != '\0' && text[n + 1] != '\0') return 0;
  return dot ? 2 : 1;
}

namespace {
bool isdigit(char c) { return c >= '0' && c <= '9'; }

int readdigits(const char*& p) {
  long long v = 0;
  while (isdigit(*p)) {
    if (v < 1000000000) v = v * 10 + (*p - '0');
    ++p;
  }
  return static_cast<int>(v > 2147483647 ? 2147483647 : v);
}
}  // namespace

int parsevers(const char* text, int* subversion) {
  if (!isdigit(*text)) return -1;
  const char* p = text;
  int version = readdigits(p);
  if (*p == '/' || *p == '_') {
    ++p;
    int s = readdigits(p);
    if (subversion) *subversion = s;
  }
  return version;
}

int islocalpath(const char* text) {
  if (text[0] == '\0') return 0;
  if (text[0] == '/' || text[0] == '\\' || text[0] == '.') return 1;
  return text[1] == ':' ? 1 : 0;
}

int strncmpi(const char* a, const char* b, std::size_t n) {
  for (std::size_t i = 0; i < n; ++i) {
    char x = a[i], y = b[i];
    if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
    if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
    if (x != y) return -1;
    if (x == '\0') return 0;
  }
  return 0;
}

}  // namespace trosk
