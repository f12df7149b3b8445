#include "diff/editscript.h"

#include <algorithm>
#include <limits>

namespace trosk {
namespace {

using Index = std::ptrdiff_t;

// Total steps allowed: a fixed allowance plus a share per line, a fraction of
// a second of work at most; a large file with scattered changes needs far less.
constexpr long long kBaseWork = 100'000'000;
constexpr long long kWorkPerLine = 256;
// Edit steps per middle-snake search: enough for the allowance to cover the
// whole file with heuristic splits when the files differ throughout, while
// files of a few thousand lines still get the shortest script.
constexpr Index kMinSnakeCap = 64;
constexpr Index kMaxSnakeCap = 4096;

constexpr Index kBelow = -1;
constexpr Index kAbove = std::numeric_limits<Index>::max();

// Half-open rectangle of the edit graph: a[xoff, xlim) against b[yoff, ylim).
struct Region {
  Index xoff, xlim, yoff, ylim;
};

struct Split {
  Index x = 0, y = 0;
  bool ok = false;
};

// The search state shared by every region. The diagonal arrays are indexed by
// k = x - y, which ranges over [-m - 1, n + 1] with the guard cells.
struct Search {
  const int* xv = nullptr;
  const int* yv = nullptr;
  std::vector<Index> fdv, bdv;
  Index* fd = nullptr;  // furthest x reached forward on each diagonal
  Index* bd = nullptr;  // smallest x reached backward on each diagonal
  EditLimits limits;
  long long work = 0;
};

bool inside(const Region& r, Index x, Index y) {
  return r.xoff <= x && x <= r.xlim && r.yoff <= y && y <= r.ylim;
}

bool corner(const Region& r, Index x, Index y) {
  return (x == r.xoff && y == r.yoff) || (x == r.xlim && y == r.ylim);
}

// When the search is cut short, splits at whichever end reached furthest
// into the region; any interior point gives a correct, if longer, script.
// A diagonal that met the region's edge may hold a reach past it, hence the
// clamping to the edge.
Split bestreach(const Search& s, const Region& r, Index fmin, Index fmax, Index bmin, Index bmax) {
  Split best;
  Index bestgain = 0;
  for (Index d = fmax; d >= fmin; d -= 2) {
    Index x = std::min(s.fd[d], r.xlim);
    Index y = x - d;
    if (y > r.ylim) {
      y = r.ylim;
      x = y + d;
    }
    const Index gain = x + y - r.xoff - r.yoff;
    if (gain > bestgain && inside(r, x, y) && !corner(r, x, y)) best = {x, y, true}, bestgain = gain;
  }
  for (Index d = bmax; d >= bmin; d -= 2) {
    Index x = std::max(s.bd[d], r.xoff);
    Index y = x - d;
    if (y < r.yoff) {
      y = r.yoff;
      x = y + d;
    }
    const Index gain = r.xlim + r.ylim - x - y;
    if (gain > bestgain && inside(r, x, y) && !corner(r, x, y)) best = {x, y, true}, bestgain = gain;
  }
  return best;
}

// Finds a point on a shortest path through the region (the end of the
// middle snake) by searching from both corners at once. The region's first
// and last elements must differ, so that its distance is at least 2.
Split middlesnake(Search& s, const Region& r) {
  const int* xv = s.xv;
  const int* yv = s.yv;
  Index* fd = s.fd;
  Index* bd = s.bd;
  const Index dmin = r.xoff - r.ylim, dmax = r.xlim - r.yoff;
  const Index fmid = r.xoff - r.yoff, bmid = r.xlim - r.ylim;
  const bool odd = ((fmid - bmid) & 1) != 0;
  Index fmin = fmid, fmax = fmid, bmin = bmid, bmax = bmid;
  fd[fmid] = r.xoff;
  bd[bmid] = r.xlim;
  for (Index c = 1;; ++c) {
    if (fmin > dmin) fd[--fmin - 1] = kBelow; else ++fmin;
    if (fmax < dmax) fd[++fmax + 1] = kBelow; else --fmax;
    for (Index d = fmax; d >= fmin; d -= 2) {
      const Index lo = fd[d - 1], hi = fd[d + 1];
      Index x = lo >= hi ? lo + 1 : hi;
      Index y = x - d;
      const Index start = x;
      while (x < r.xlim && y < r.ylim && xv[x] == yv[y]) ++x, ++y;
      s.work += 1 + (x - start);
      fd[d] = x;
      if (odd && bmin <= d && d <= bmax && bd[d] <= x) return {x, y, true};
    }
    if (bmin > dmin) bd[--bmin - 1] = kAbove; else ++bmin;
    if (bmax < dmax) bd[++bmax + 1] = kAbove; else --bmax;
    for (Index d = bmax; d >= bmin; d -= 2) {
      const Index lo = bd[d - 1], hi = bd[d + 1];
      Index x = lo < hi ? lo : hi - 1;
      Index y = x - d;
      const Index start = x;
      while (x > r.xoff && y > r.yoff && xv[x - 1] == yv[y - 1]) --x, --y;
      s.work += 1 + (start - x);
      bd[d] = x;
      if (!odd && fmin <= d && d <= fmax && x <= fd[d]) return {x, y, true};
    }
    if (s.work >= s.limits.workcap) return {};
    if (c >= s.limits.snakecap) return bestreach(s, r, fmin, fmax, bmin, bmax);
  }
}

void markwhole(const Region& r, std::vector<char>* removed, std::vector<char>* added) {
  std::fill(removed->begin() + r.xoff, removed->begin() + r.xlim, 1);
  std::fill(added->begin() + r.yoff, added->begin() + r.ylim, 1);
}

// Divide and conquer over an explicit stack: every region is trimmed of its
// common head and tail, then cut at its middle snake.
void compare(Search& s, Index n, Index m, std::vector<char>* removed, std::vector<char>* added) {
  std::vector<Region> pending{{0, n, 0, m}};
  while (!pending.empty()) {
    Region r = pending.back();
    pending.pop_back();
    while (r.xoff < r.xlim && r.yoff < r.ylim && s.xv[r.xoff] == s.yv[r.yoff]) ++r.xoff, ++r.yoff;
    while (r.xoff < r.xlim && r.yoff < r.ylim && s.xv[r.xlim - 1] == s.yv[r.ylim - 1]) --r.xlim, --r.ylim;
    if (r.xoff == r.xlim || r.yoff == r.ylim || s.work >= s.limits.workcap) {
      markwhole(r, removed, added);
      continue;
    }
    const Split cut = middlesnake(s, r);
    // A cut at a corner would make no progress: take the region whole instead.
    if (!cut.ok || !inside(r, cut.x, cut.y) || corner(r, cut.x, cut.y)) {
      markwhole(r, removed, added);
      continue;
    }
    pending.push_back({cut.x, r.xlim, cut.y, r.ylim});
    pending.push_back({r.xoff, cut.x, r.yoff, cut.y});
  }
}

// Returns, for each value, how many times it occurs in `v`.
std::vector<Index> occurrences(const std::vector<int>& v, std::size_t range) {
  std::vector<Index> count(range, 0);
  for (int id : v) ++count[static_cast<std::size_t>(id)];
  return count;
}

// Keeps the positions of `v` whose value also occurs on the other side; the
// rest can never be matched, and leaving them out of the search shrinks it a
// great deal when much of a file was rewritten.
std::vector<Index> matchable(const std::vector<int>& v, const std::vector<Index>& othercount) {
  std::vector<Index> keep;
  keep.reserve(v.size());
  for (std::size_t i = 0; i < v.size(); ++i) {
    if (othercount[static_cast<std::size_t>(v[i])] > 0) keep.push_back(static_cast<Index>(i));
  }
  return keep;
}

std::vector<int> pick(const std::vector<int>& v, const std::vector<Index>& positions) {
  std::vector<int> out;
  out.reserve(positions.size());
  for (Index p : positions) out.push_back(v[static_cast<std::size_t>(p)]);
  return out;
}

// Marks every element, then clears those the reduced comparison kept.
void expand(const std::vector<Index>& positions, const std::vector<char>& reduced,
            std::vector<char>* flags) {
  std::fill(flags->begin(), flags->end(), 1);
  for (std::size_t i = 0; i < positions.size(); ++i) {
    if (!reduced[i]) (*flags)[static_cast<std::size_t>(positions[i])] = 0;
  }
}

}  // namespace

EditLimits editlimits(std::size_t n, std::size_t m) {
  const long long lines = static_cast<long long>(n) + static_cast<long long>(m);
  EditLimits limits;
  limits.workcap = kBaseWork + kWorkPerLine * lines;
  limits.snakecap = static_cast<Index>(
      std::clamp<long long>(limits.workcap / (4 * std::max(1LL, lines)), kMinSnakeCap, kMaxSnakeCap));
  return limits;
}

long long editscript(const std::vector<int>& a, const std::vector<int>& b, const EditLimits& limits,
                     std::vector<char>* removed, std::vector<char>* added) {
  int top = -1;
  for (int id : a) top = std::max(top, id);
  for (int id : b) top = std::max(top, id);
  const std::size_t range = static_cast<std::size_t>(top + 1);
  const std::vector<Index> xpos = matchable(a, occurrences(b, range));
  const std::vector<Index> ypos = matchable(b, occurrences(a, range));
  const std::vector<int> xv = pick(a, xpos);
  const std::vector<int> yv = pick(b, ypos);
  const Index n = static_cast<Index>(xv.size()), m = static_cast<Index>(yv.size());

  Search s;
  s.xv = xv.data();
  s.yv = yv.data();
  s.limits = limits;
  s.limits.snakecap = std::max<Index>(1, limits.snakecap);
  s.fdv.assign(static_cast<std::size_t>(n + m + 3), 0);
  s.bdv.assign(static_cast<std::size_t>(n + m + 3), 0);
  s.fd = s.fdv.data() + m + 1;
  s.bd = s.bdv.data() + m + 1;
  std::vector<char> xchanged(static_cast<std::size_t>(n), 0), ychanged(static_cast<std::size_t>(m), 0);
  compare(s, n, m, &xchanged, &ychanged);

  removed->assign(a.size(), 0);
  added->assign(b.size(), 0);
  expand(xpos, xchanged, removed);
  expand(ypos, ychanged, added);
  return std::count(removed->begin(), removed->end(), 1) + std::count(added->begin(), added->end(), 1);
}

}  // namespace trosk
