// Small questions to the file system and the path helpers that go with them:
// whether a path exists and what it is, a file's size, making a file's
// parent directories, the symbolic-link check, and the parts of a path.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string_view>
#include <unordered_set>

namespace trosk {

struct RunContext;

// 0 absent, -1 a directory, 1 anything else.
int exists(RunContext& rc, const char* path);
// Size by seeking to the end (a stream's position is restored); -1 when the
// file cannot be opened.
int64_t filesize(RunContext& rc, const char* path, FILE* stream);
// The size of an open stream, its position kept; -1 when it cannot seek.
int64_t streamsize(FILE* stream);

// Makes the missing parent directories of `path` with `dirmode`. Returns 0,
// or -1 when one cannot be made or a parent is not a directory.
int makeparents(const char* path, int dirmode);
// Makes the missing parent directories of `path`, then opens it with `mode`.
// Null on failure.
FILE* mkp(const char* path, const char* mode, int dirmode);

// 1 when no existing component of the relative path (parents and last) is a
// symbolic link, 0 when one is (checked with lstat, component by component).
// Parents found in `checked` are not looked at again, and those checked are
// added to it; `present` (when given) tells whether the last one exists.
int linkfree(std::string_view relpath, std::unordered_set<std::string>* checked = nullptr,
             bool* present = nullptr);

// '/', ':' and '\\' separate path components.
bool isseparator(char c);
// Index after the last separator, 0 when none.
std::size_t dirlength(const char* path);
// The text after the last separator.
const char* basename(const char* path);

}  // namespace trosk
