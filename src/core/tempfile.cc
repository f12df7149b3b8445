#include "core/tempfile.h"

#include <unistd.h>

namespace trosk {

TempFile::~TempFile() {
  if (!path.empty()) ::unlink(path.c_str());
}

}  // namespace trosk
