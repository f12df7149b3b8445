#include "xml/xmlstore.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>
#include <vector>

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/asan_interface.h>
#endif

namespace trosk {
namespace {

constexpr std::size_t kBlock = 4096;  // bytes of a block, and its alignment
constexpr std::size_t kHead = 16;     // the block's pointer to its storage, padded
constexpr std::size_t kNodesPerBlock = (kBlock - kHead) / sizeof(XmlNode);
constexpr std::size_t kMaxChunk = 64;  // blocks allocated at once, at most

struct Chunk {
  char* start;
  std::size_t size;
};

struct Store {
  XmlNode* owner = nullptr;
  std::vector<Chunk> chunks;
  char* block = nullptr;           // the block new nodes are taken from
  std::size_t taken = kNodesPerBlock;
  char* unused = nullptr;          // blocks of the last chunk not opened yet
  std::size_t blocksleft = 0;
  std::size_t chunkblocks = 1;     // small trees take one block; large ones grow
  XmlNode* reused = nullptr;       // nodes put back, linked through `next`
  StoreMemo memo;
};

// The sanitizer build is told which nodes are free, so that a node used
// after it was freed is still reported.
void poison(void* at, std::size_t size) {
#if defined(__SANITIZE_ADDRESS__)
  ASAN_POISON_MEMORY_REGION(at, size);
#else
  (void)at, (void)size;
#endif
}

void unpoison(void* at, std::size_t size) {
#if defined(__SANITIZE_ADDRESS__)
  ASAN_UNPOISON_MEMORY_REGION(at, size);
#else
  (void)at, (void)size;
#endif
}

Store*& storeof(const XmlNode* node) {
  auto block = reinterpret_cast<uintptr_t>(node) & ~uintptr_t{kBlock - 1};
  return *reinterpret_cast<Store**>(block);
}

bool openblock(Store& s) {
  if (s.blocksleft == 0) {
    std::size_t size = s.chunkblocks * kBlock;
    auto* start = static_cast<char*>(std::aligned_alloc(kBlock, size));
    if (!start) return false;
    s.chunks.push_back({start, size});
    poison(start, size);
    s.unused = start;
    s.blocksleft = s.chunkblocks;
    s.chunkblocks = std::min(2 * s.chunkblocks, kMaxChunk);
  }
  s.block = s.unused;
  s.unused += kBlock;
  --s.blocksleft;
  s.taken = 0;
  unpoison(s.block, kHead);
  *reinterpret_cast<Store**>(s.block) = &s;
  return true;
}

XmlNode* take(Store& s) {
  XmlNode* node = s.reused;
  if (node) {
    unpoison(node, sizeof *node);
    s.reused = node->next;
  } else {
    if (s.taken == kNodesPerBlock && !openblock(s)) return nullptr;
    node = reinterpret_cast<XmlNode*>(s.block + kHead + s.taken++ * sizeof(XmlNode));
    unpoison(node, sizeof *node);
  }
  std::memset(node, 0, sizeof *node);
  return node;
}

void freestore(Store* s) {
  for (const Chunk& c : s->chunks) {
    unpoison(c.start, c.size);
    std::free(c.start);
  }
  delete s;
}

}  // namespace

XmlNode* storenode(XmlNode* member) {
  if (member) return take(*storeof(member));
  auto* s = new (std::nothrow) Store;
  if (!s) return nullptr;
  s->owner = take(*s);
  if (!s->owner) {
    freestore(s);
    return nullptr;
  }
  return s->owner;
}

bool storeowner(const XmlNode* node) { return storeof(node)->owner == node; }

void storeputback(XmlNode* node) {
  Store& s = *storeof(node);
  node->next = s.reused;
  s.reused = node;
  poison(node, sizeof *node);
}

void storerelease(XmlNode* owner) { freestore(storeof(owner)); }

StoreMemo& storememo(const XmlNode* member) { return storeof(member)->memo; }

}  // namespace trosk
