// Synchronisation speed over a directory host of many small files: status
// of an unchanged project against a plain stat walk and `find | wc -l` of
// the same tree, downloads against `cp -r` of the host's files, and an
// upload of changed files against `cp` of the same files.
//
//   sync_bench [files ...]   (default: 10000 100000)
#include <sys/stat.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "config/options.h"
#include "config/project.h"
#include "core/frontend.h"
#include "core/output.h"
#include "core/runcontext.h"
#include "core/strutil.h"
#include "net/fetch.h"
#include "repo/filestats.h"
#include "sync/run.h"
#include "sync/syncproject.h"
#include "sync/transfer.h"

namespace {

namespace fs = std::filesystem;
using namespace trosk;
using Clock = std::chrono::steady_clock;

constexpr int kPerDirectory = 100;
constexpr int kMaxDownloadCalls = 30;  // beyond: files copied in, then one verify call

double seconds(Clock::time_point since) {
  return std::chrono::duration<double>(Clock::now() - since).count();
}

std::string filename(int i) {
  return "d" + std::to_string(i / kPerDirectory) + "/f" + std::to_string(i) + ".txt";
}

void writetext(const fs::path& path, const std::string& text) {
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) {
    std::perror(path.c_str());
    std::exit(1);
  }
  std::fwrite(text.data(), 1, text.size(), f);
  std::fclose(f);
}

// Version 1/1 of project "bench": the stored files and the log, written
// directly (the log carries what the files measure).
void makehost(RunContext& rc, const fs::path& root, int files) {
  fs::path dir = root / "trosk" / "bench" / "bench_1";
  fs::create_directories(dir);
  std::string log =
      "<?xml version=\"1.0\"?>\n<trosk>\n <pversion>1</pversion>\n"
      " <subversion>1</subversion>\n";
  for (int i = 0; i < files; ++i) {
    std::string source = "f" + std::to_string(i) + ".txt_v1";
    writetext(dir / source, "line one of file " + std::to_string(i) + "\nand a second line\n");
    FileStats st;
    filestats(rc, (dir / source).c_str(), nullptr, &st, 0);
    log += " <file>\n  <name>" + filename(i) + "</name>\n  <source>" + source +
           "</source>\n  <checksum>" + std::to_string(st.checksum) + "</checksum>\n  <size>" +
           std::to_string(st.size) + "</size>\n  <parity>" + std::to_string(st.parity) +
           "</parity>\n  <crc>" + std::to_string(st.crc) + "</crc>\n </file>\n";
  }
  writetext(dir / "trosk_bench.xml", log + "</trosk>\n");
  writetext(dir / "trosk_bench_1.xml", log + "</trosk>\n");
}

// The stat-walk peer: one lstat per entry of the tree.
double statwalk(const fs::path& dir, long* count) {
  auto start = Clock::now();
  *count = 0;
  for (const auto& e : fs::recursive_directory_iterator(dir)) {
    struct stat st;
    if (::lstat(e.path().c_str(), &st) == 0 && S_ISREG(st.st_mode)) ++*count;
  }
  return seconds(start);
}

double shell(const std::string& command) {
  auto start = Clock::now();
  if (std::system(command.c_str()) != 0) std::fprintf(stderr, "failed: %s\n", command.c_str());
  return seconds(start);
}

struct Bench {
  fs::path root;
  fs::path host;
  fs::path work;
  ProjectEntry entry;
  RunSettings settings;

  explicit Bench(const fs::path& base) : root(base), host(base / "host"), work(base / "work") {
    copystr("bench", entry.name, kNameSize - 1);
    copystr(host.c_str(), entry.host, kPathSize - 1);
    entry.backup = 0;
  }

  // One command: a run of its own that asks nothing and shows no bar.
  double run(int flags) {
    fs::current_path(work);
    auto start = Clock::now();
    QuietFrontend quiet;
    Run command(quiet);
    command.context.promptLevel = 0;
    command.context.meter.enabled = false;
    command.settings = settings;
    ProjectRun project(entry);
    project.host = project.hostroot = entry.host;
    project.troskdir = "trosk";
    project.backup = entry.backup;
    syncproject(command, project, flags, 0, 0);
    closeconnection(command.context, command.net, &project.connection);
    return seconds(start);
  }
};

void report(const char* what, double ours, const char* peer, double theirs) {
  std::printf("  %-44s %8.3f s   %-22s %8.3f s   ratio %6.2f\n", what, ours, peer, theirs,
              theirs > 0 ? ours / theirs : 0.0);
}

void benchmark(int files) {
  fs::path base = fs::temp_directory_path() / ("trosk-sync-bench-" + std::to_string(files));
  fs::remove_all(base);
  Bench b(base);
  std::printf("%d files (%d transfers per call at most)\n", files, kMaxFiles);
  auto made = Clock::now();
  {
    QuietFrontend quiet;
    RunContext rc(quiet);
    makehost(rc, b.host, files);
  }
  std::printf("  host built in %.2f s\n", seconds(made));
  fs::create_directories(b.work);

  // Download: one call walks the whole log and moves at most kMaxFiles
  // files; the peer copies the same files.
  double first = b.run(CMD_DOWNLOAD | CMD_INIT);
  int moved = files < kMaxFiles ? files : kMaxFiles;
  fs::path copy = base / "cp-copy";
  fs::create_directories(copy);
  std::string list;
  for (int i = 0; i < moved; ++i) {
    list += "'" +
            (b.host / "trosk/bench/bench_1" / ("f" + std::to_string(i) + ".txt_v1")).string() +
            "' ";
  }
  char what[96];
  std::snprintf(what, sizeof what, "first download call (%d moved)", moved);
  report(what, first, "cp of the same files", shell("cp " + list + "'" + copy.string() + "'"));

  // The rest: further calls while that takes few of them; for larger
  // projects the files are copied in and a verify call records them.
  int calls = (files + kMaxFiles - 1) / kMaxFiles;
  double cp = shell("cp -r '" + (b.host / "trosk/bench/bench_1").string() + "' '" +
                    (base / "cp-all").string() + "'");
  if (calls <= kMaxDownloadCalls) {
    double total = first;
    for (int i = 1; i < calls; ++i) total += b.run(CMD_DOWNLOAD);
    std::snprintf(what, sizeof what, "complete download (%d calls)", calls);
    report(what, total, "cp -r host version", cp);
  } else {
    for (int i = moved; i < files; ++i) {
      fs::create_directories((b.work / filename(i)).parent_path());
      fs::copy_file(b.host / "trosk/bench/bench_1" / ("f" + std::to_string(i) + ".txt_v1"),
                    b.work / filename(i));
    }
    report("verify (reads every file)", b.run(CMD_VERIFY), "cp -r host version", cp);
  }

  // Status and download of the unchanged project: one stat per file.
  long counted = 0;
  double walk = statwalk(b.work, &counted);
  double find = shell("find '" + b.work.string() + "' -type f | wc -l > /dev/null");
  double status = b.run(CMD_STATUS);
  report("status, unchanged", status, "stat walk", walk);
  report("status, unchanged", status, "find -type f | wc -l", find);
  double nothing = b.run(CMD_DOWNLOAD);
  report("download, unchanged", nothing, "stat walk", walk);

  // Upload of changed files (at most one call's worth).
  int changed = files < kMaxFiles ? files : kMaxFiles;
  std::string uplist;
  for (int i = 0; i < changed; ++i) {
    writetext(b.work / filename(i), "changed content of file " + std::to_string(i) + "\n");
    uplist += "'" + (b.work / filename(i)).string() + "' ";
  }
  fs::create_directories(base / "cp-upload");
  double cpup = shell("cp " + uplist + "'" + (base / "cp-upload").string() + "'");
  b.entry.status = kStatusSource;
  b.settings.commentText = "bench";
  double upload = b.run(CMD_UPLOAD | CMD_DOWNLOAD);
  std::snprintf(what, sizeof what, "upload of %d changed files", changed);
  report(what, upload, "cp of the same files", cpup);
  std::printf("  (%ld files in the working directory)\n", counted);
  fs::current_path(fs::temp_directory_path());
  fs::remove_all(base);
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<int> sizes;
  for (int i = 1; i < argc; ++i) sizes.push_back(std::atoi(argv[i]));
  if (sizes.empty()) sizes = {10000, 100000};
  for (int files : sizes) benchmark(files);
  return 0;
}
