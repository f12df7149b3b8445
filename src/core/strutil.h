// Small text routines whose exact rules decide how options, list values and
// answers are read: bounded copy, keyword and letter lookup, numeric tests,
// the "V/S" version parser and the direct-path test.
#pragma once

#include <cstddef>

namespace trosk {

// Copies at most `limit` characters (255 when limit <= 0) and always a
// terminator, so `dest` needs limit + 1 bytes. Returns the characters copied.
int copystr(const char* source, char* dest, int limit);

// Index of `text` in the null-terminated keyword table: an exact match wins,
// a unique prefix is accepted; a second prefix match, or an empty text, gives
// -1. Entries equal to kSkipKeyword are passed over.
int findkey(const char* text, const char* const* table);
extern const char* const kSkipKeyword;

// 0-based position of `c` in `letters` (scanning to the terminator or a
// newline), or -1.
int findletter(char c, const char* letters);

// Lower-cases ASCII letters in place. Returns 0.
int lowerstr(char* text);

// 1 for a run of digits, 2 when the run holds a '.', 0 when there is no run
// or two or more characters follow it.
int isnumber(const char* text);

// Reads "V", "V/S" or "V_S": returns V (or -1 when the text does not begin
// with a digit) and stores S when a separator is present.
int parsevers(const char* text, int* subversion);

// 1 when the text names a direct path: it begins with '/', '\\' or '.', or
// has ':' as its second character.
int islocalpath(const char* text);

// Compares n characters ignoring the case of ASCII letters: 0 equal, -1 not.
int strncmpi(const char* a, const char* b, std::size_t n);

}  // namespace trosk
