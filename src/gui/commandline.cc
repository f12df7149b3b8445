#include "gui/commandline.h"

#include <QByteArray>

#include "config/options.h"

namespace trosk {
namespace {

const char* optionof(Command command) {
  switch (command) {
    case Command::kStatus: return "-status";
    case Command::kDownload: return "-download";
    case Command::kUpload: return "-upload";
    case Command::kShowVersions: return "-show";
    case Command::kShowLog: return "-log";
    case Command::kVerify: return "-verify";
    case Command::kHelp: return "-help";
  }
  return "-status";
}

void addvalue(std::vector<std::string>& words, const char* option, const std::string& value) {
  if (value.empty()) return;
  words.emplace_back(option);
  words.push_back(value);
}

}  // namespace

std::vector<std::string> commandwords(Command command, const std::string& project,
                                      const SessionOptions& options) {
  std::vector<std::string> words{"trosk"};
  if (command == Command::kHelp) {
    words.emplace_back(optionof(command));
    return words;
  }
  if (!project.empty()) words.push_back(project);
  words.emplace_back(optionof(command));
  addsession(words, options);
  return words;
}

std::vector<std::string> addwords(const std::string& project, const std::vector<std::string>& files,
                                  const std::string& comment, const SessionOptions& options) {
  std::vector<std::string> words{"trosk", project, "-comment", comment, "-add"};
  words.insert(words.end(), files.begin(), files.end());
  addsession(words, options);
  return words;
}

std::vector<std::string> getwords(const std::string& project, const std::string& host,
                                  const SessionOptions& options) {
  std::vector<std::string> words{"trosk", project, "-host", host, "-download"};
  addsession(words, options);
  return words;
}

std::vector<std::string> startwords(const std::string& project, const std::string& host,
                                    const std::vector<std::string>& files,
                                    const std::string& comment, const SessionOptions& options) {
  std::vector<std::string> words = addwords(project, files, comment, options);
  words.insert(words.begin() + 2, {"-source", "-host", host});
  return words;
}

void addsession(std::vector<std::string>& words, const SessionOptions& options) {
  addvalue(words, "-port", options.port);
  if (options.prompt != 1) addvalue(words, "-prompt", std::to_string(options.prompt));
  addvalue(words, "-version", options.version);
  if (!options.login.empty()) {
    addvalue(words, "-access", basiccredential(options.login, options.password));
  } else if (options.noaccess) {
    addvalue(words, "-access", "0");
  }
  addvalue(words, "-platform", options.platform);
  if (options.verbose) addvalue(words, "-verbose", "1");
  for (std::string& word : splitwords(options.more)) words.push_back(std::move(word));
}

std::string basiccredential(const std::string& login, const std::string& password) {
  return QByteArray::fromStdString(login + ':' + password).toBase64().toStdString();
}

std::vector<std::string> splitwords(const std::string& text) {
  std::vector<std::string> words;
  std::string word;
  bool inword = false;
  char quote = 0;
  for (char c : text) {
    if (quote) {
      if (c == quote) {
        quote = 0;
      } else {
        word += c;
      }
    } else if (c == '"' || c == '\'') {
      quote = c;
      inword = true;
    } else if (c == ' ' || c == '\t') {
      if (inword) words.push_back(word);
      word.clear();
      inword = false;
    } else {
      word += c;
      inword = true;
    }
  }
  if (inword) words.push_back(word);
  return words;
}

std::string joinwords(const std::vector<std::string>& words) {
  std::string line;
  for (const std::string& word : words) {
    if (!line.empty()) line += ' ';
    bool blank = word.empty() || word.find_first_of(" \t") != std::string::npos;
    line += blank ? "\"" + word + "\"" : word;
  }
  return line;
}

std::string shownwords(const std::vector<std::string>& words) {
  const int access = getoption("-access");
  std::vector<std::string> shown = words;
  for (std::size_t i = 1; i + 1 < shown.size(); ++i) {
    // Like the console, a following option is no value.
    bool isaccess = shown[i][0] == '-' && getoption(shown[i].c_str()) == access;
    if (isaccess && shown[i + 1][0] != '-') shown[++i] = "********";
  }
  return joinwords(shown);
}

}  // namespace trosk
