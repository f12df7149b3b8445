#include "config/options.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "core/output.h"
#include "core/runerror.h"
#include "testing/testing.h"

namespace trosk {
namespace {

using testing::FakeContext;

// A command line given without the program name.
struct CommandLine {
  explicit CommandLine(std::vector<std::string> args) : words(std::move(args)) {
    words.insert(words.begin(), "trosk");
    for (std::string& w : words) argv.push_back(w.data());
  }
  int parse(RunContext& rc, RunSettings& settings) {
    return parseoptions(rc, settings, argv.data(), static_cast<int>(argv.size()));
  }
  std::vector<std::string> words;
  std::vector<char*> argv;
};

// A command line parsed for a run of its own.
struct Parsed {
  explicit Parsed(std::vector<std::string> args) : line(std::move(args)) {
    flags = line.parse(context.rc, settings);
  }
  FakeContext context;
  CommandLine line;
  RunSettings settings;
  int flags = 0;
};

// The alert shown when parsing the command line fails.
std::string failure(std::vector<std::string> args) {
  FakeContext c;
  CommandLine line(std::move(args));
  RunSettings settings;
  try {
    line.parse(c.rc, settings);
  } catch (const RunError& q) {
    EXPECT_EQ(q.code(), -1);
    return c.fake.alerts.empty() ? "" : c.fake.alerts.back();
  }
  return "no failure";
}

TEST(GetoptionTest, AbbreviationsLettersAndTies) {
  EXPECT_EQ(getoption("-d"), 5);       // decode
  EXPECT_EQ(getoption("-D"), 6);       // directory
  EXPECT_EQ(getoption("-do"), 19);     // download
  EXPECT_EQ(getoption("-st"), 0);      // status or stable
  EXPECT_EQ(getoption("-stat"), 16);
  EXPECT_EQ(getoption("-STATUS"), 16);
  EXPECT_EQ(getoption("-ver"), 0);     // version or verbose
  EXPECT_EQ(getoption("-verb"), 23);
  EXPECT_EQ(getoption("-veri"), 30);
  EXPECT_EQ(getoption("-lo"), 0);      // log or localhost
  EXPECT_EQ(getoption("-log"), 11);
  EXPECT_EQ(getoption("-S"), 17);
  EXPECT_EQ(getoption("-s"), 16);
  EXPECT_EQ(getoption("-?"), 8);
  EXPECT_EQ(getoption("-"), 0);
  EXPECT_EQ(getoption("--"), 0);
  EXPECT_EQ(getoption("-C"), 34);
  EXPECT_EQ(getoption("-tempdir"), 41);
  EXPECT_EQ(getoption("-ca"), 42);     // cacert: last, so no older abbreviation changed
  EXPECT_EQ(getoption("-c"), 4);
  EXPECT_EQ(getoption("-max"), 43);  // maxfiles, which has no letter
  EXPECT_EQ(getoption("-m"), 0);
  EXPECT_EQ(getoption("-x"), 0);
}

TEST(ParseoptionsTest, ProjectNameOnlyInSecondPlace) {
  Parsed p({"demo", "-status"});
  EXPECT_STREQ(p.settings.projectName, "demo");
  EXPECT_EQ(p.flags, CMD_STATUS);
  EXPECT_EQ(p.settings.backup, -1);
  EXPECT_EQ(failure({"-status", "demo"}), "TROSK error -- Unrecognized option: demo");
}

TEST(ParseoptionsTest, StatusNumberSelectsBits) {
  EXPECT_EQ(Parsed({"-status", "6"}).flags, CMD_STATUS | CMD_REPORT_ONLY | CMD_HIDDEN);
  EXPECT_EQ(Parsed({"-s", "1"}).flags, CMD_STATUS | CMD_LIST_ALL);
  EXPECT_EQ(Parsed({"-s"}).flags, CMD_STATUS);
}

TEST(ParseoptionsTest, AddTakesNamesUntilTheNextOption) {
  Parsed p({"demo", "-add", "a.c", "b.c", "-upload"});
  EXPECT_EQ(p.settings.addCount, 2);
  ASSERT_EQ(p.settings.addFiles.size(), 2u);
  EXPECT_STREQ(p.settings.addFiles[1], "b.c");
  EXPECT_EQ(p.flags, CMD_UPLOAD | CMD_DOWNLOAD);
  EXPECT_EQ(p.settings.noVerify, 0);
}

TEST(ParseoptionsTest, OptionalNumbersAreTakenOnlyWhenNumeric) {
  Parsed zero({"-download", "0", "-backup"});
  EXPECT_EQ(zero.settings.noVerify, 1);
  EXPECT_EQ(zero.settings.backup, 1);
  Parsed none({"-download", "-backup", "0"});
  EXPECT_EQ(none.settings.noVerify, 0);
  EXPECT_EQ(none.settings.backup, 0);
  EXPECT_EQ(Parsed({"-source"}).settings.source, 1);
  EXPECT_EQ(Parsed({"-source", "0"}).settings.source, -1);
  Parsed verbose({"-verbose", "3"});
  EXPECT_EQ(verbose.context.rc.verboseLevel, 3);
  EXPECT_EQ(verbose.flags, 0);
  EXPECT_EQ(Parsed({"-V"}).flags, CMD_LIST_ALL);
  Parsed prompt({"-prompt", "0"});
  EXPECT_EQ(prompt.context.rc.promptLevel, 0);
  EXPECT_EQ(failure({"-p", "x"}), "TROSK error -- Unrecognized option: x");
}

TEST(ParseoptionsTest, CurrentTakesUpToThreeNumbers) {
  Parsed p({"-current", "3", "4", "-beta"});
  EXPECT_EQ(p.flags, CMD_UPLOAD | CMD_CURRENT | CMD_INIT);
  EXPECT_EQ(p.settings.current[0], 3);
  EXPECT_EQ(p.settings.current[1], 4);
  EXPECT_EQ(p.settings.currentMask, 3);
  EXPECT_EQ(p.settings.release, kReleaseBeta);
  EXPECT_EQ(failure({"-current", "1", "2", "3", "4"}), "TROSK error -- Unrecognized option: 4");
}

TEST(ParseoptionsTest, VersionAndSubversion) {
  Parsed p({"-version", "3/5"});
  EXPECT_EQ(p.settings.version, 3);
  EXPECT_EQ(p.settings.subversion, 5);
  EXPECT_EQ(failure({"-version", "x"}), "TROSK error -- invalid version number: x");
  EXPECT_EQ(failure({"-version"}), "TROSK error -- invalid version number: -version");
  EXPECT_EQ(failure({"-subversion"}), "TROSK error -- invalid subversion number: -subversion");
  EXPECT_EQ(failure({"-subversion", "0"}), "TROSK error -- invalid subversion number: 0");
  EXPECT_EQ(Parsed({"-subversion", "2"}).settings.subversion, 2);
}

TEST(ParseoptionsTest, ValuesAndTheirErrors) {
  EXPECT_EQ(failure({"-port"}), "TROSK error -- invalid port number: -port");
  EXPECT_EQ(failure({"-port", "0"}), "TROSK error -- invalid port number: 0");
  EXPECT_EQ(failure({"-port", "65536"}), "TROSK error -- invalid port number: 65536");
  EXPECT_EQ(Parsed({"-P", "65535"}).settings.port, 65535);
  EXPECT_EQ(Parsed({"-P", "8080"}).settings.port, 8080);
  EXPECT_EQ(failure({"-host"}), "TROSK error -- missing hostname");
  EXPECT_EQ(failure({"-host", "-status"}), "TROSK error -- missing hostname");
  EXPECT_EQ(failure({"-localhost"}), "TROSK error -- missing hostname");
  EXPECT_EQ(failure({"-user"}), "TROSK error -- missing user name");
  EXPECT_EQ(failure({"-platform"}), "TROSK error -- missing platform name");
  EXPECT_EQ(failure({"-D"}), "TROSK error -- missing local dir name");
  EXPECT_EQ(failure({"-remotedir"}), "TROSK error -- missing remote trosk dir name");
  EXPECT_STREQ(Parsed({"-remotedir", "-odd"}).settings.remoteDir, "-odd");
  EXPECT_STREQ(Parsed({"-H", "/srv/host"}).settings.hostName, "/srv/host");
  EXPECT_STREQ(Parsed({"-cacert", "ca.pem"}).settings.caFile, "ca.pem");
  EXPECT_EQ(failure({"-cacert"}), "TROSK error -- missing certificate authority file");
  EXPECT_EQ(Parsed({}).settings.maxFiles, 400);
  EXPECT_EQ(Parsed({"-maxfiles", "0"}).settings.maxFiles, 0);
  EXPECT_EQ(Parsed({"-MAXF", "12"}).settings.maxFiles, 12);
  EXPECT_EQ(Parsed({"-maxfiles", "99999999999"}).settings.maxFiles, INT32_MAX);
  EXPECT_EQ(failure({"-maxfiles"}), "TROSK error -- invalid number of files: -maxfiles");
  EXPECT_EQ(failure({"-maxfiles", "-1"}), "TROSK error -- invalid number of files: -maxfiles");
}

TEST(ParseoptionsTest, TextAndLoneDashesAreUnrecognised) {
  EXPECT_EQ(failure({"-text"}), "TROSK error -- Unrecognized option: -text");
  EXPECT_EQ(failure({"-t"}), "TROSK error -- Unrecognized option: -t");
  EXPECT_EQ(failure({"-"}), "TROSK error -- Unrecognized option: -");
  EXPECT_EQ(failure({"--"}), "TROSK error -- Unrecognized option: --");
  EXPECT_EQ(failure({"-st"}), "TROSK error -- Unrecognized option: -st");
}

TEST(ParseoptionsTest, AccessCommentSuffixAndTempdir) {
  Parsed p({"-access", "-comment", "-a note", "-suffix", ".c", "-tempdir", "-x", "-prompt", "0"});
  EXPECT_STREQ(p.settings.accessOption, "0");
  EXPECT_STREQ(p.settings.commentText, "-a note");
  EXPECT_STREQ(p.settings.suffix, ".c");
  EXPECT_EQ(p.context.rc.promptLevel, 0);
  // A second command line starts from the defaults, not from the first one.
  CommandLine second({"-access", "dXNlcjpwdw=="});
  second.parse(p.context.rc, p.settings);
  EXPECT_STREQ(p.settings.accessOption, "dXNlcjpwdw==");
  EXPECT_EQ(p.settings.commentText, nullptr);
  EXPECT_EQ(p.settings.suffix, nullptr);
}

TEST(ParseoptionsTest, DisplayAndModes) {
  Parsed p({"-log", "-S", "-X", "-W", "-dmy", "-nobar", "-server", "-zip", "-verify"});
  EXPECT_EQ(p.flags, CMD_DISPLAY | CMD_ZIP | CMD_VERIFY);
  EXPECT_EQ(p.settings.showMode, SHOW_LOG | SHOW_VERSIONS | SHOW_DUMP | SHOW_WEBHDR);
  EXPECT_EQ(p.context.rc.dateOrder, 1);
  EXPECT_EQ(p.settings.progressBar, 0);
  EXPECT_EQ(p.settings.peerMode, 2);
}

TEST(ParseoptionsTest, HelpEndsWithExitCodeZero) {
  testing::ScratchDir dir;
  FakeContext c;
  CommandLine line({"-?"});
  RunSettings settings;
  try {
    line.parse(c.rc, settings);
    FAIL();
  } catch (const RunError& q) {
    EXPECT_EQ(q.code(), 0);
  }
  std::string printed = testing::readfile(kOutputFileName);
  EXPECT_EQ(printed.rfind("Trosk -- Version 1.19\n", 0), 0u);
  EXPECT_NE(printed.find("-download"), std::string::npos);
  EXPECT_NE(printed.find("Examples"), std::string::npos);
}

}  // namespace
}  // namespace trosk
