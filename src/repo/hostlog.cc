#include "repo/hostlog.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <string_view>
#include <unordered_set>

#include "core/atomicfile.h"
#include "core/blockcopy.h"
#include "core/cause.h"
#include "core/fileprobe.h"
#include "core/output.h"
#include "core/tempfile.h"
#include "repo/copyfile.h"
#include "repo/versionlog.h"
#include "xml/xmlvalues.h"
#include "xml/xmlwrite.h"

namespace trosk {
namespace {

// The log of a new subversion, written once beside the current log and
// synced: it becomes the frozen copy by a link (or a copy where links are not
// to be had), then replaces the current log in one rename, so that readers
// of the host see the old log or the new one, never a part, and the frozen
// copy is there first.
class Publication {
 public:
  Publication(RunContext& rc, const SigningKey& key, bool announce, std::string current)
      : rc_(rc), key_(key), announce_(announce), current_(std::move(current)),
        file_(rc, current_.c_str()) {}

  void write(XmlNode* log, const std::string& frozen) {
    if (!file_.stream() || xmlsave(rc_, nullptr, file_.stream(), log, 0) < 0)
      causederror(rc_, "Error writing file: %s", frozen.c_str());
  }
  void freeze(const std::string& frozen) {
    if (file_.sync() < 0) causederror(rc_, "Error writing file: %s", frozen.c_str());
    if (key_.key) text_ = readwholefile(file_.temppath());
    announce(frozen);
    signbefore(frozen);
    if (file_.alsoname(frozen) != 0 &&
        copyfile(rc_, file_.temppath().c_str(), frozen.c_str(), 0, nullptr, nullptr) < 0)
      causederror(rc_, "Error writing file: %s", frozen.c_str());
    signafter(frozen);
  }
  void replace() {
    announce(current_);
    signbefore(current_);
    if (file_.commit(true) < 0) causederror(rc_, "Error writing file: %s", current_.c_str());
    signafter(current_);
  }

 private:
  void announce(const std::string& target) {
    if (announce_) printmsg(rc_, "   %s ...\n", target.c_str());
  }
  void signbefore(const std::string& target) {
    if (key_.key && trosk::signbefore(rc_, key_, target, text_) < 0)
      causederror(rc_, "Error writing file: %s", (target + kSignatureEnding).c_str());
  }
  void signafter(const std::string& target) {
    if (key_.key && trosk::signafter(rc_, key_, target, text_) < 0)
      causederror(rc_, "Error writing file: %s", (target + kSignatureEnding).c_str());
  }

  RunContext& rc_;
  const SigningKey& key_;
  bool announce_;
  std::string current_;
  AtomicFile file_;
  std::string text_;  // what is signed
};

// Whether `copy` must be written again from `published`: the published
// file holds something and the copy is missing, unreadable or different.
// The two are compared block by block, never held whole.
bool outofdate(const std::string& published, const std::string& copy) {
  struct stat first {}, second {};
  if (::stat(published.c_str(), &first) == 0 && ::stat(copy.c_str(), &second) == 0 &&
      first.st_dev == second.st_dev && first.st_ino == second.st_ino)
    return false;  // one file under both names
  using File = std::unique_ptr<FILE, int (*)(FILE*)>;
  File a(std::fopen(published.c_str(), "rb"), &std::fclose);
  File b(std::fopen(copy.c_str(), "rb"), &std::fclose);
  static constexpr std::size_t kBlock = 1 << 16;
  auto one = std::make_unique_for_overwrite<char[]>(kBlock);
  auto two = std::make_unique_for_overwrite<char[]>(kBlock);
  std::size_t na = a ? std::fread(one.get(), 1, kBlock, a.get()) : 0;
  if (na == 0) return false;  // nothing published to copy
  if (!b) return true;
  for (; na > 0; na = std::fread(one.get(), 1, kBlock, a.get())) {
    if (std::fread(two.get(), 1, na, b.get()) != na) return true;
    if (std::memcmp(one.get(), two.get(), na) != 0) return true;
  }
  return std::fread(two.get(), 1, 1, b.get()) != 0;  // the copy is longer
}

// The subversion of a frozen log "trosk_<P>_<S>.xml", or -1 for other names.
int frozennumber(std::string_view name, const std::string& prefix) {
  if (name.size() <= prefix.size() + 4 || name.substr(0, prefix.size()) != prefix ||
      name.substr(name.size() - 4) != ".xml")
    return -1;
  std::string_view digits = name.substr(prefix.size(), name.size() - prefix.size() - 4);
  int n = 0;
  for (char c : digits) {
    if (c < '0' || c > '9' || n > 100000000) return -1;
    n = n * 10 + (c - '0');
  }
  return n;
}

bool newer(const struct stat& a, const struct stat& b) {
  return a.st_mtim.tv_sec != b.st_mtim.tv_sec ? a.st_mtim.tv_sec > b.st_mtim.tv_sec
                                              : a.st_mtim.tv_nsec > b.st_mtim.tv_nsec;
}

// Removes what no published log of the version needs: frozen logs beyond the
// current subversion, temporary files, and stored copies made after the
// current log that it does not name (all of them when there is none yet).
int sweep(const std::string& versiondir, const char* project, int subversion,
          const PublishedLog* current) {
  std::string currentpath = versiondir + "/trosk_" + project + ".xml";
  struct stat published {};
  if (current && ::stat(currentpath.c_str(), &published) != 0) return 0;
  PublishedLog none;
  const std::unordered_set<std::string>& named = (current ? *current : none).stored;
  std::string frozenprefix = std::string("trosk_") + project + "_";
  std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(versiondir.c_str()), &::closedir);
  if (!dir) return 0;
  int removed = 0;
  while (struct dirent* d = ::readdir(dir.get())) {
    std::string_view name = d->d_name;
    if (name == "." || name == ".." || named.count(std::string(name))) continue;
    std::string path = versiondir + "/" + std::string(name);
    // A log's signatures go and stay with it.
    std::string_view signedname = name;
    std::string_view ending(kSignatureEnding);
    if (signedname.size() > ending.size() && signedname.ends_with(ending))
      signedname.remove_suffix(ending.size());
    if (signedname.size() != name.size() && signedname == currentpath.substr(versiondir.size() + 1))
      continue;
    int frozen = frozennumber(signedname, frozenprefix);
    bool leftover = frozen > subversion || tempowner(name) >= 0;
    if (!leftover && frozen < 0 && name != currentpath.substr(versiondir.size() + 1)) {
      struct stat st;
      leftover = ::lstat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && newer(st, published);
    }
    if (leftover && ::unlink(path.c_str()) == 0) ++removed;
  }
  return removed;
}

}  // namespace

PublishedLog publishedof(XmlNode* log) {
  PublishedLog published;
  published.subversion = xmlgetint(log, "subversion", 0);
  for (XmlNode* e = log ? log->first : nullptr; e; e = e->next) {
    for (XmlNode* c = e->first; c; c = c->next) {
      if (xmlisnamed(c, "source")) published.stored.emplace(xmlvalueview(c));
    }
  }
  return published;
}

PublishedLog publishedof(const LogTable& log) {
  PublishedLog published;
  published.subversion = log.subversion ? xmlnumber(log.subversion->c_str(), 0) : 0;
  for (const LogEntry& e : log.entries) {
    if (e.sourcelength > 0) published.stored.emplace(log.text(e.source, e.sourcelength));
  }
  return published;
}

int publishlog(RunContext& rc, XmlNode* log, const std::string& versiondir, const char* project,
               int subversion, bool announce, const SigningKey& key) {
  if (syncstore(rc, versiondir.c_str()) < 0) causederror(rc, "Error writing file: %s", versiondir.c_str());
  std::string base = versiondir + "/trosk_" + project;
  std::string frozen = base + "_" + std::to_string(subversion) + ".xml";
  Publication publication(rc, key, announce, base + ".xml");
  publication.write(log, frozen);
  publication.freeze(frozen);
  publication.replace();
  return 0;
}

int repairversion(RunContext& rc, const std::string& projectdir, const std::string& versiondir,
                  const char* project, int version, const PublishedLog* current) {
  // The working directory's share: the stage file and the temporary files
  // of a writer that was killed there.
  ::unlink(kStageFile);
  removetemps("", false);
  if (!current) return sweep(versiondir, project, 0, nullptr);
  int subversion = current->subversion;
  if (subversion < 1) return 0;
  std::string base = versiondir + "/trosk_" + project;
  std::string frozen = base + "_" + std::to_string(subversion) + ".xml";
  if (outofdate(base + ".xml", frozen)) {
    // The same text: the current log's signatures serve the copy, and come first.
    std::string signatures = base + ".xml" + kSignatureEnding;
    if (exists(rc, signatures.c_str()) == 1 &&
        copyfile(rc, signatures.c_str(), (frozen + kSignatureEnding).c_str(), 0, nullptr, nullptr) < 0)
      causederror(rc, "Error writing file: %s", (frozen + kSignatureEnding).c_str());
    if (copyfile(rc, (base + ".xml").c_str(), frozen.c_str(), 0, nullptr, nullptr) < 0)
      causederror(rc, "Error writing file: %s", frozen.c_str());
  }
  std::string signer = readwholefile(projectdir + "/" + kSignerKeyName);
  for (const std::string& log : {base + ".xml", frozen}) {
    if (!signer.empty() && keepsigned(rc, log, readwholefile(log), signer) < 0)
      causederror(rc, "Error writing file: %s", (log + kSignatureEnding).c_str());
  }
  int removed = sweep(versiondir, project, subversion, current);
  // A host made without a version log is left without one.
  if (exists(rc, (projectdir + "/versionlog.txt").c_str()) == 1 &&
      !hasversionline(projectdir, version, subversion)) {
    const char* activity = subversion == 1 ? "Created new version" : "Upload new subversion";
    writeversionline(rc, projectdir, activity, version, subversion, "completed after an interruption");
  }
  return removed;
}

}  // namespace trosk
