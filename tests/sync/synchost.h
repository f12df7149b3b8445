// A directory host built by the tests themselves: version directories with
// stored files, project logs written as text (so that a test can make them
// say anything, hostile names included) and the version catalogue.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "config/options.h"
#include "config/project.h"
#include "core/output.h"
#include "core/runcontext.h"
#include "core/strutil.h"
#include "core/vtp.h"
#include "net/fetch.h"
#include "repo/filestats.h"
#include "repo/hostops.h"
#include "sync/run.h"
#include "sync/syncproject.h"
#include "testing/testing.h"

namespace trosk::testing {

namespace fs = std::filesystem;

// One file entry of a host log and the bytes the host serves for it.
struct HostEntry {
  std::string name;
  std::string content;
  std::string source;      // stored name; default name + "_v1" (".vtp" first when vtp)
  bool vtp = false;        // stored as VTP armour
  int date = 0, time = 0;  // recorded stamp; 0 = none
  std::string served;      // bytes the host really has, when they should differ
  bool archive = false;
  std::string alert;
};

inline FileStats statsof(RunContext& rc, const fs::path& scratch, const std::string& content) {
  fs::path probe = scratch / "stats.probe";
  writefile(probe, content);
  FileStats st;
  filestats(rc, probe.c_str(), nullptr, &st, 0);
  fs::remove(probe);
  return st;
}

// Each case is one run: the calls of syncproject in it share its context
// (output, prompt level, answered-all bits) as the projects of one command do.
struct SyncTest : ::testing::Test {
  ScratchDir scratch;
  FakeFrontend front;
  trosk::Run session{front};
  RunContext& rc = session.context;
  RunSettings& settings = session.settings;
  fs::path hostroot;
  fs::path work;
  ProjectEntry entry;
  std::unique_ptr<ProjectRun> turn;  // the last call's view of the project

  void SetUp() override {
    hostroot = scratch.path / "host";
    work = scratch.path / "work";
    fs::create_directories(hostroot / "trosk" / "proj");
    fs::create_directories(work);
    fs::current_path(work);
    copystr("proj", entry.name, kNameSize - 1);
    copystr(hostroot.c_str(), entry.host, kPathSize - 1);
    entry.backup = 0;
  }

  fs::path versiondir(int version) {
    return hostroot / "trosk" / "proj" / ("proj_" + std::to_string(version));
  }

  // Writes the stored files and the version's logs (current and frozen).
  void hostversion(int version, int subversion, std::vector<HostEntry> entries) {
    fs::path dir = versiondir(version);
    fs::create_directories(dir);
    std::string log = "<?xml version=\"1.0\"?>\n<trosk>\n <pversion>" + std::to_string(version) +
                      "</pversion>\n <subversion>" + std::to_string(subversion) + "</subversion>\n";
    for (HostEntry& e : entries) {
      if (e.source.empty()) e.source = e.name + (e.vtp ? ".vtp" : "") + "_v1";
      std::string bytes = e.served.empty() ? e.content : e.served;
      if (e.vtp) bytes = vtpencodestring(bytes);
      if (e.source.find("..") == std::string::npos && e.source[0] != '/') {
        writefile(dir / e.source, bytes);
      }
      log += entrytext(e);
    }
    log += "</trosk>\n";
    writefile(dir / "trosk_proj.xml", log);
    writefile(dir / ("trosk_proj_" + std::to_string(subversion) + ".xml"), log);
  }

  std::string entrytext(const HostEntry& e) {
    FileStats st = statsof(rc, scratch.path, e.content);
    const char* tag = e.archive ? "archive" : "file";
    std::string t = std::string(" <") + tag + ">\n  <name>" + e.name + "</name>\n  <source>" +
                    e.source + "</source>\n";
    auto num = [&](const char* name, long long v) {
      if (v != 0) t += std::string("  <") + name + ">" + std::to_string(v) + "</" + name + ">\n";
    };
    num("checksum", st.checksum);
    num("size", st.size);
    num("parity", st.parity);
    num("crc", st.crc);
    num("date", e.date);
    num("time", e.time);
    if (!e.alert.empty()) t += "  <alert>" + e.alert + "</alert>\n";
    return t + " </" + tag + ">\n";
  }

  void catalogue(const std::string& inner) {
    writefile(hostroot / "trosk" / "proj" / "current.xml",
              "<?xml version=\"1.0\"?>\n<trosk>\n <project>\n" + inner + " </project>\n</trosk>\n");
  }

  std::string firstalert() { return front.alerts.empty() ? "" : front.alerts.front(); }
  std::string lastalert() { return front.alerts.empty() ? "" : front.alerts.back(); }

  std::string output() { return readfile(work / kOutputFileName); }

  // The project's turn resolved from the settings and the entry as the
  // driver resolves it, fresh for each call.
  ProjectRun& resolve() {
    turn = std::make_unique<ProjectRun>(entry);
    ProjectRun& p = *turn;
    p.hostroot = entry.host;
    p.host = settings.hostName ? settings.hostName : p.hostroot;
    p.user = settings.userName ? settings.userName : entry.user;
    const char* troskdir = settings.remoteDir ? settings.remoteDir : entry.troskdir;
    p.troskdir = troskdir[0] ? troskdir : "trosk";
    p.backup = settings.backup >= 0 ? settings.backup : entry.backup;
    p.release = settings.release ? settings.release : entry.release;
    return p;
  }

  int run(int flags, int version = 0, int subversion = 0) {
    ProjectRun& p = resolve();
    struct Closer {
      trosk::Run& owner;
      ProjectRun& p;
      ~Closer() { closeconnection(owner.context, owner.net, &p.connection); }
    } closer{session, p};
    return syncproject(session, p, flags, version, subversion);
  }
};

}  // namespace trosk::testing
