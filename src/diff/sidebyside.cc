#include "diff/sidebyside.h"

#include <algorithm>
#include <cstddef>
#include <unordered_map>

#include "diff/editscript.h"

namespace trosk {
namespace {

using LineIds = std::unordered_map<std::string_view, int>;

std::size_t linecount(std::string_view text) {
  return static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n')) + 1;
}

std::string_view withoutend(std::string_view line) {
  if (!line.empty() && line.back() == '\n') line.remove_suffix(1);
  if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  return line;
}

// Splits after each "\n" and numbers each distinct line, its end included,
// with a number shared by both texts, so that the search compares integers.
void numberlines(std::string_view oldtext, std::string_view newtext, std::vector<int>* oldids,
                 std::vector<int>* newids, SideBySide* out) {
  const std::size_t oldcount = linecount(oldtext), newcount = linecount(newtext);
  LineIds known;
  known.reserve(oldcount + newcount);
  auto number = [&known](std::string_view text, std::size_t count, std::vector<int>* ids,
                         std::vector<std::string_view>* shown) {
    ids->reserve(count);
    shown->reserve(count);
    std::size_t start = 0;
    while (start < text.size()) {
      const std::size_t end = text.find('\n', start);
      const std::size_t next = end == std::string_view::npos ? text.size() : end + 1;
      const std::string_view line = text.substr(start, next - start);
      ids->push_back(known.emplace(line, static_cast<int>(known.size())).first->second);
      shown->push_back(withoutend(line));
      start = next;
    }
  };
  number(oldtext, oldcount, oldids, &out->left);
  number(newtext, newcount, newids, &out->right);
}

// Lays out one run of changes: removed lines next to added ones as far as
// both last, then what is left of the longer side.
void putrun(int left, int removed, int right, int added, std::vector<SideRow>* rows) {
  const int both = std::min(removed, added);
  for (int k = 0; k < both; ++k) rows->push_back({left + k, right + k, RowKind::kChanged});
  for (int k = both; k < removed; ++k) rows->push_back({left + k, -1, RowKind::kRemoved});
  for (int k = both; k < added; ++k) rows->push_back({-1, right + k, RowKind::kAdded});
}

// Walks the two flag lists side by side. Once a side is used up, whatever is
// left of the other counts as changed, so that every line gets its row even
// if the flags disagree on the common lines.
void pairlines(const std::vector<char>& removed, const std::vector<char>& added, SideBySide* out) {
  const int n = static_cast<int>(removed.size()), m = static_cast<int>(added.size());
  int i = 0, j = 0;
  while (i < n || j < m) {
    if (i < n && j < m && !removed[i] && !added[j]) {
      out->rows.push_back({i++, j++, RowKind::kSame});
      continue;
    }
    const int i0 = i, j0 = j;
    while (i < n && (removed[i] || j >= m)) ++i;
    while (j < m && (added[j] || i >= n)) ++j;
    out->blocks.push_back(static_cast<int>(out->rows.size()));
    putrun(i0, i - i0, j0, j - j0, &out->rows);
  }
}

}  // namespace

SideBySide sidebyside(std::string_view oldtext, std::string_view newtext) {
  SideBySide out;
  std::vector<int> oldids, newids;
  numberlines(oldtext, newtext, &oldids, &newids, &out);
  std::vector<char> removed, added;
  editscript(oldids, newids, editlimits(oldids.size(), newids.size()), &removed, &added);
  out.rows.reserve(std::max(oldids.size(), newids.size()));
  pairlines(removed, added, &out);
  return out;
}

}  // namespace trosk
