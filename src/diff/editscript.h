// Shortest edit script between two sequences of line numbers: Myers' O(ND)
// search in linear space, with work limits that keep hostile inputs cheap.
#pragma once

#include <cstddef>
#include <vector>

namespace trosk {

// Bounds on the search. Past `snakecap` edit steps one middle-snake search
// settles for the furthest point it reached; once `workcap` steps are spent
// in all, every region still open is taken as removed and added whole. Either
// way the script stays correct, only longer than the shortest.
struct EditLimits {
  std::ptrdiff_t snakecap = 0;
  long long workcap = 0;
};

// Returns the default limits for sequences of n and m lines.
EditLimits editlimits(std::size_t n, std::size_t m);

// Compares `a` and `b`, whose values are small non-negative numbers (one per
// distinct line). Fills `removed` (one flag per element of a) and `added` (one
// per element of b) with 1 for the elements outside the common subsequence.
// Returns the number of flagged elements, the edit distance when the limits
// were not reached.
long long editscript(const std::vector<int>& a, const std::vector<int>& b, const EditLimits& limits,
                     std::vector<char>* removed, std::vector<char>* added);

}  // namespace trosk
