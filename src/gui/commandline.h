// The command a button of the window runs, written as the words of the
// equivalent command line, so that the window goes through the console's own
// parser and meets the same rules and messages.
#pragma once

#include <string>
#include <vector>

namespace trosk {

enum class Command { kStatus, kDownload, kUpload, kShowVersions, kShowLog, kVerify, kHelp };

// What the window keeps for a project during the session and adds to each of
// its commands: the settings the project list does not store, the Verbose box
// and the further options typed in the window.
struct SessionOptions {
  std::string port;
  int prompt = 1;       // the run's prompt level: 1 asks before each overwrite
  std::string version;  // "V" or "V/S"; empty: the version of the release
  // Basic authorisation with a web host; an empty login gives no credential
  // of the window's own, so the run keeps the built-in one. Never saved.
  std::string login, password;
  bool noaccess = false;  // the project list says: no authorisation at all ("-access 0")
  std::string platform;
  bool verbose = false;
  std::string more;  // further options, as typed
};

// "trosk", the project (none: every project of the list), the command's
// option, then the session's options; the login and password become the
// -access credential, Base64 of "login:password".
std::vector<std::string> commandwords(Command command, const std::string& project,
                                      const SessionOptions& options);

// The words of an add of `files` (names relative to the working directory)
// with the comment already asked; of a first download of a project from
// `host`; and of a project started here: the files added to a new project
// on the host directory, marked as source. Each with the session's options.
std::vector<std::string> addwords(const std::string& project, const std::vector<std::string>& files,
                                  const std::string& comment, const SessionOptions& options);
std::vector<std::string> getwords(const std::string& project, const std::string& host,
                                  const SessionOptions& options);
std::vector<std::string> startwords(const std::string& project, const std::string& host,
                                    const std::vector<std::string>& files,
                                    const std::string& comment, const SessionOptions& options);

// Appends the session's options to the words of a command.
void addsession(std::vector<std::string>& words, const SessionOptions& options);

// The -access credential of a login for Basic authorisation: Base64 of
// "login:password".
std::string basiccredential(const std::string& login, const std::string& password);

// Splits typed options into words: blanks separate them, single or double
// quotes keep blanks inside one word.
std::vector<std::string> splitwords(const std::string& text);

// The words joined for display, quoted where a word holds a blank.
std::string joinwords(const std::vector<std::string>& words);

// The words joined for display with the value of each -access option, in
// any spelling the console takes, masked: the line the window shows.
std::string shownwords(const std::vector<std::string>& words);

}  // namespace trosk
