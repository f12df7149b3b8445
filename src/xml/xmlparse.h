// Reads XML text into a tree: small and forgiving, in place (names and values
// point into the text, which is modified), and linear in the text's size.
// Errors and the traces of a verbose run go to the run's output.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <functional>

#include "xml/xmlnode.h"

namespace trosk {

struct RunContext;

inline constexpr int kMaxXmlDepth = 1000;

// Character classes of the reader: blanks are the bytes 0 to 32 (bytes above
// 127 are ordinary characters); name bytes are ASCII letters and digits, '.'
// and '_'.
inline bool xmlblank(unsigned char c) { return c <= 32; }
inline bool xmlnamebyte(unsigned char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' ||
         c == '_';
}

// xmlload flags.
inline constexpr int kXmlLoadAny = 1;       // parse without a leading "<?xml"
inline constexpr int kXmlLoadKeepText = 2;  // keep the text when the parse fails

// Loads and parses a file: 1 on success, -1 when it cannot be read, -2 when
// it holds no parsable XML.
int xmlload(RunContext& rc, const char* path, XmlDocument& doc, int flags);

// Parses a NUL-terminated text that the caller keeps alive as long as the
// tree. Returns the document node (type 0), or null.
XmlNode* xmlparsetext(RunContext& rc, char* text);

// Takes one complete child of the document element (in its place in the
// tree, with its subtree); the child is freed when the call returns.
using XmlVisitor = std::function<void(XmlNode* child)>;
// Parses as xmlparsetext does, but hands each child of the document element
// to `visit` as soon as it is complete, so that the tree never holds more
// than one of them; `count` (may be null) receives how many were handed
// over. Returns the document node without children, or null for the texts
// that xmlparsetext refuses (children may have been handed over by then).
XmlNode* xmlparsestream(RunContext& rc, char* text, const XmlVisitor& visit, uint64_t* count);

// Parses the element that begins the `length` bytes at `span`: the offset
// where it ended (> 0), 0 when no start tag was found, or a negative error
// code.
int64_t xml_parse(RunContext& rc, XmlNode* node, char* span, int64_t length);

// Splits a start tag's attribute text into the node's table: the count, or
// -6 when an attribute cannot be read.
int xmlprsatt(RunContext& rc, XmlNode* node, char* text, int32_t length);

}  // namespace trosk
