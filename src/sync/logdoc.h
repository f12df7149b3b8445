// A project log or catalogue held for one run: loaded from the working
// directory, fetched from the host, or made new.
#pragma once

#include "net/fetch.h"
#include "xml/xmlnode.h"

namespace trosk {

struct LogDoc {
  // Loads a local file. Returns 1, -1 when unreadable, -2 when it holds no
  // XML element.
  int load(const char* path);
  // Fetches and parses a host file. Returns 1 or a negative result as load,
  // or the negative HTTP status.
  int fetch(const Remote& remote, const char* path);
  // A new log: a "trosk" element holding "pversion". Returns 1.
  int fresh(int pversion);
  // The document element ("trosk"), or null when there is none.
  XmlNode* top() const;
  XmlNode* log() const { return top(); }

  XmlDocument doc;
};

}  // namespace trosk
