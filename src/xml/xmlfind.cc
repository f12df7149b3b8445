// Finding nodes by dotted paths. A depth-first walk with a stack of 41
// levels; the walks of recent searches are kept, so that a caller asking for
// occurrence 1, 2, 3 ... of the same path resumes where the previous answer
// was found instead of starting again (linear, not quadratic, in the tree).
#include "xml/xmlfind.h"

#include <array>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "core/strutil.h"
#include "xml/xmlstore.h"

namespace trosk {

namespace {

constexpr int kDeepest = kXmlMaxLevels - 1;  // children are entered below this level

struct Walk {
  std::array<XmlNode*, kXmlMaxLevels> stack{};
  std::array<int, kXmlMaxLevels> comp{};  // component current when the level was entered
  int level = 0;
  int cur = 0;    // current path component
  int count = 0;  // occurrences of the last component met so far
  bool ended = false;
};

struct Search {
  uint64_t generation = 0;
  XmlNode* start = nullptr;
  int flags = 0;
  std::string path;
  std::vector<std::string_view> comps;  // views into `path`
  Walk walk;
  uint64_t used = 0;
};

// The searches kept with a tree, so that trees of different runs never
// share them.
constexpr int kKeptSearches = 8;  // enough for a few nested caller loops
struct KeptSearches final : XmlAttachment {
  std::array<Search, kKeptSearches> searches;
  uint64_t useClock = 0;
};

KeptSearches& keptfor(const XmlNode* start) {
  StoreMemo& memo = storememo(start);
  if (!memo.searches) memo.searches = std::make_unique<KeptSearches>();
  return static_cast<KeptSearches&>(*memo.searches);
}

std::vector<std::string_view> splitpath(std::string_view path) {
  std::vector<std::string_view> comps;
  std::size_t p = 0;
  while (p < path.size()) {
    std::size_t dot = path.find('.', p);
    if (dot == std::string_view::npos) dot = path.size();
    if (dot > p) comps.push_back(path.substr(p, dot - p));
    p = dot + 1;
  }
  return comps;
}

bool namematches(const XmlNode* node, std::string_view comp) {
  return node->name && node->namelen == static_cast<int32_t>(comp.size()) &&
         strncmpi(node->name, comp.data(), comp.size()) == 0;
}

// Moves to the next node of the walk. Returns false when the walk is over.
bool advance(Walk& w, int flags) {
  XmlNode* node = w.stack[w.level];
  bool enter = node->first && w.level < kDeepest && !((flags & kXmlFindChildren) && w.level > 0);
  if (enter) {
    ++w.level;
    w.stack[w.level] = node->first;
    w.comp[w.level] = w.cur;
    return true;
  }
  for (;;) {
    if (node->next && (w.level > 0 || (flags & kXmlFindSiblings))) {
      node = node->next;
      w.stack[w.level] = node;
      w.cur = w.comp[w.level];
      return true;
    }
    if (w.level == 0) return false;
    --w.level;
    node = w.stack[w.level];
  }
}

// Walks on until the n-th occurrence. Returns the node or null.
XmlNode* walkto(Search& s, int n) {
  Walk& w = s.walk;
  const int last = static_cast<int>(s.comps.size()) - 1;
  while (!w.ended) {
    XmlNode* node = w.stack[w.level];
    bool found = false;
    if (namematches(node, s.comps[w.cur])) {
      if (w.cur < last) {
        if (node->first) ++w.cur;
      } else {
        found = ++w.count >= n;
      }
    }
    if (found) return node;
    if (!advance(w, s.flags)) w.ended = true;
  }
  return nullptr;
}

void restart(Search& s, XmlNode* start) {
  s.walk = Walk{};
  s.walk.stack[0] = start;
}

// The kept search for these arguments, reset when it cannot reach
// occurrence n from where it stands.
Search& searchfor(XmlNode* start, std::string_view path, int flags, int n) {
  KeptSearches& kept = keptfor(start);
  const uint64_t generation = xmlgeneration(start);
  Search* match = nullptr;
  Search* oldest = &kept.searches[0];
  for (Search& s : kept.searches) {
    if (s.generation == generation && s.start == start && s.flags == flags && s.path == path) {
      match = &s;
      break;
    }
    if (s.used < oldest->used) oldest = &s;
  }
  if (!match) {
    match = oldest;
    match->generation = generation;
    match->start = start;
    match->flags = flags;
    match->path.assign(path);
    match->comps = splitpath(match->path);
    restart(*match, start);
  } else if (match->walk.count >= n) {
    restart(*match, start);
  } else if (match->walk.count > 0 && !match->walk.ended) {
    // Step past the previous answer.
    if (!advance(match->walk, flags)) match->walk.ended = true;
  }
  match->used = ++kept.useClock;
  return *match;
}

void pathnames(const Walk& w, char* out, int outsize) {
  if (!out || outsize <= 0) return;
  int used = 0;
  out[0] = '\0';
  for (int i = 0; i <= w.level; ++i) {
    const XmlNode* node = w.stack[i];
    if (!node->name || node->namelen == 0) continue;
    int sep = used > 0 ? 1 : 0;
    if (used + sep + node->namelen >= outsize) break;
    if (sep) out[used++] = '.';
    std::memcpy(out + used, node->name, static_cast<std::size_t>(node->namelen));
    used += node->namelen;
    out[used] = '\0';
  }
}

}  // namespace

XmlNode* xmlfind(XmlNode* start, const char* path, int n, char* out, int outsize, int flags) {
  if (!start || !path) return nullptr;
  std::string_view wanted(path);
  while (!wanted.empty() && wanted.front() == '.') wanted.remove_prefix(1);
  if (wanted.empty()) return nullptr;
  if (n < 1) n = 1;
  Search& s = searchfor(start, wanted, flags, n);
  XmlNode* found = walkto(s, n);
  if (found) pathnames(s.walk, out, outsize);
  return found;
}

XmlNode* xmlchild(XmlNode* start, const char* name, int n) {
  return xmlfind(start, name, n, nullptr, 0, kXmlFindChildren);
}

const char* xmlpathval(XmlNode* start, const char* path) {
  XmlNode* node = xmlfind(start, path, 1, nullptr, 0, 0);
  return node ? xmlval(node) : nullptr;
}

}  // namespace trosk
