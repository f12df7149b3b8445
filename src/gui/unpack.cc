#include "gui/unpack.h"

#include <archive.h>
#include <archive_entry.h>
#include <sys/stat.h>

#include <cstdio>
#include <memory>

#include "config/options.h"
#include "core/fileprobe.h"
#include "core/output.h"
#include "core/relpath.h"
#include "core/runcontext.h"
#include "core/tempfile.h"
#include "sync/askupdate.h"
#include "sync/pathsafety.h"
#include "sync/showdiff.h"

namespace trosk {
namespace {

constexpr int kSecure = ARCHIVE_EXTRACT_SECURE_SYMLINKS | ARCHIVE_EXTRACT_SECURE_NODOTDOT |
                        ARCHIVE_EXTRACT_SECURE_NOABSOLUTEPATHS;
constexpr std::size_t kBlock = 1 << 16;

struct ReadFree {
  void operator()(archive* a) const { archive_read_free(a); }
};
struct WriteFree {
  void operator()(archive* a) const { archive_write_free(a); }
};
struct FileCloser {
  void operator()(FILE* f) const { std::fclose(f); }
};
using Reader = std::unique_ptr<archive, ReadFree>;
using Writer = std::unique_ptr<archive, WriteFree>;

// True when a link made at `name` and pointing to `target` resolves inside
// the working directory, read without following anything on disk.
bool staysinside(std::string_view name, std::string_view target) {
  if (target.empty() || isslash(target[0])) return false;
  int depth = -1;  // the link itself is not a directory of its path
  components(name, [&](std::string_view) {
    ++depth;
    return true;
  });
  bool inside = true;
  components(target, [&](std::string_view part) {
    depth += part == ".." ? -1 : 1;
    inside = depth >= 0;
    return inside;
  });
  return inside;
}

// True when a directory on the way to `name` is a symbolic link: refused
// before any question about the file such a path would reach (libarchive's
// own check would refuse it only when writing).
bool throughlink(std::string_view name) {
  std::size_t slash = name.rfind('/');
  return slash != std::string_view::npos && !linkfree(name.substr(0, slash));
}

// Why the entry is not unpacked, or null when it may be.
const char* refusal(archive_entry* entry, const std::string& project) {
  const char* name = archive_entry_pathname(entry);
  if (!name) return "no name";
  if (int code = checkrelpath(name); code != 0) return unsafereason(code);
  if (isownfile(name, project.c_str(), nullptr)) return "a file of Trosk's own";
  if (throughlink(name)) return "through a symbolic link";
  if (const char* target = archive_entry_hardlink(entry)) {
    if (checkrelpath(target) != 0) return "link to a file outside";
    if (isownfile(target, project.c_str(), nullptr)) return "a file of Trosk's own";
  }
  if (const char* target = archive_entry_symlink(entry); target && !staysinside(name, target)) {
    return "link that leads outside";
  }
  mode_t type = archive_entry_filetype(entry);
  if (type != AE_IFREG && type != AE_IFDIR && type != AE_IFLNK) return "not a file or directory";
  return nullptr;
}

// Hands each block of the entry's data to `take` (its bytes, size and
// offset). False when reading failed or `take` refused a block.
template <class Take>
bool readdata(archive* in, Take take) {
  const void* block;
  std::size_t size;
  la_int64_t offset;
  for (;;) {
    int r = archive_read_data_block(in, &block, &size, &offset);
    if (r == ARCHIVE_EOF) return true;
    if (r < ARCHIVE_WARN || !take(block, size, offset)) return false;
  }
}

bool copyblocks(archive* in, archive* out) {
  return readdata(in, [out](const void* block, std::size_t size, la_int64_t offset) {
    return archive_write_data_block(out, block, size, offset) >= ARCHIVE_WARN;
  });
}

// Writes the entry's data, read from the archive, into a file of its own.
bool stage(archive* in, const char* path) {
  std::unique_ptr<FILE, FileCloser> file(std::fopen(path, "wb"));
  if (!file) return false;
  return readdata(in, [&file](const void* block, std::size_t size, la_int64_t offset) {
    return std::fseek(file.get(), offset, SEEK_SET) == 0 &&
           std::fwrite(block, 1, size, file.get()) == size;
  });
}

bool copyfile(const char* path, archive* out) {
  std::unique_ptr<FILE, FileCloser> file(std::fopen(path, "rb"));
  if (!file) return false;
  char block[kBlock];
  std::size_t n;
  while ((n = std::fread(block, 1, sizeof block, file.get())) > 0) {
    if (archive_write_data(out, block, n) < 0) return false;
  }
  return std::ferror(file.get()) == 0;
}

// The entry written to disk, its data from the archive or, once the user
// has looked at it, from the staged copy.
bool write(archive* in, archive* out, archive_entry* entry, const TempFile& staged) {
  if (archive_write_header(out, entry) < ARCHIVE_WARN) return false;
  bool data = staged.path.empty() ? copyblocks(in, out) : copyfile(staged.path.c_str(), out);
  return archive_write_finish_entry(out) >= ARCHIVE_WARN && data;
}

struct Unpacker {
  RunContext& rc;
  archive* in;
  archive* out;
  const std::string& project;
  UnpackCount count;

  void refuse(const char* name, const char* why) {
    printmsg(rc, "   Not unpacked: %s (%s)\n", printable(name ? name : "").c_str(), why);
    ++count.refused;
  }

  // Asks before an existing file is replaced. False when it is kept.
  bool mayreplace(archive_entry* entry, const char* name, TempFile& staged) {
    struct stat st;
    if (lstat(name, &st) != 0 || (S_ISDIR(st.st_mode) && archive_entry_filetype(entry) == AE_IFDIR)) {
      return true;
    }
    bool diff = false;
    la_int64_t size = archive_entry_size(entry);
    UpdateCase c{name, false, true, 0, size > INT32_MAX ? INT32_MAX : static_cast<int32_t>(size)};
    if (!askupdate(rc, c, &diff)) return false;
    if (!diff) return true;
    staged.path = kDiffTemp;
    if (!stage(in, kDiffTemp)) return false;
    return showdiff(rc, name, kDiffTemp, name, false, updatequestion(name, false).c_str()) != 0;
  }

  void entry(archive_entry* entry) {
    const char* name = archive_entry_pathname(entry);
    if (const char* why = refusal(entry, project)) return refuse(name, why);
    TempFile staged;
    if (!mayreplace(entry, name, staged)) {
      printmsg(rc, "   Kept: %s\n", printable(name).c_str());
      ++count.kept;
      return;
    }
    if (!write(in, out, entry, staged)) {
      const char* why = archive_error_string(out);
      return refuse(name, why ? why : "not written");
    }
    printmsg(rc, "   %s\n", printable(name).c_str());
    ++count.written;
  }
};

}  // namespace

bool isarchive(const std::string& path) {
  Reader in(archive_read_new());
  archive_read_support_filter_all(in.get());
  archive_read_support_format_all(in.get());
  archive_entry* entry;
  return archive_read_open_filename(in.get(), path.c_str(), kBlock) == ARCHIVE_OK &&
         archive_read_next_header(in.get(), &entry) >= ARCHIVE_WARN;
}

UnpackCount unpackarchive(RunContext& rc, const std::string& archive, const std::string& project) {
  printmsg(rc, "\nUnpacking %s:\n", archive.c_str());
  Reader in(archive_read_new());
  archive_read_support_filter_all(in.get());
  archive_read_support_format_all(in.get());
  Writer out(archive_write_disk_new());
  archive_write_disk_set_options(out.get(), kSecure | ARCHIVE_EXTRACT_TIME);
  Unpacker unpacker{rc, in.get(), out.get(), project, {}};
  if (archive_read_open_filename(in.get(), archive.c_str(), kBlock) != ARCHIVE_OK) {
    warnmsg(rc, "Cannot read archive %s", archive.c_str());
    return unpacker.count;
  }
  archive_entry* entry;
  int r;
  while ((r = archive_read_next_header(in.get(), &entry)) != ARCHIVE_EOF) {
    if (r < ARCHIVE_WARN) {
      warnmsg(rc, "Archive damaged, unpacking stopped: %s", archive.c_str());
      break;
    }
    unpacker.entry(entry);
  }
  const UnpackCount& n = unpacker.count;
  printmsg(rc, "Unpacked %d entries from %s (%d refused, %d kept)\n", n.written,
           archive.c_str(), n.refused, n.kept);
  return n;
}

int offerunpack(RunContext& rc, const std::vector<std::string>& archives,
                const std::string& project) {
  rc.promptLevel &= ~(kPromptAllYes | kPromptAllNo);
  int written = 0;
  for (const std::string& name : archives) {
    std::string question = "Unpack " + name + " into the working directory (y/n)? ";
    if (answeredyes(askuser(rc, question.c_str(), nullptr, "ynYN"))) {
      written += unpackarchive(rc, name, project).written;
    }
  }
  return written;
}

}  // namespace trosk
