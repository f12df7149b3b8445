#include "app/projects.h"

#include <cstdlib>
#include <string>
#include <vector>

#include "core/output.h"
#include "core/runcontext.h"
#include "core/strutil.h"
#include "net/fetch.h"
#include "repo/hostops.h"
#include "repo/projectlog.h"
#include "xml/xmlfind.h"
#include "xml/xmlvalues.h"
#include "xml/xmlwrite.h"

namespace trosk {

namespace {

constexpr const char* kReleaseWords[] = {"stable", "beta", "x", "alpha", nullptr};

// The "project" elements in document order, nested ones included.
void collectprojects(XmlNode* node, std::vector<XmlNode*>& found) {
  for (; node; node = node->next) {
    if (node->namelen == 7 && strncmpi(node->name, "project", 7) == 0) found.push_back(node);
    collectprojects(node->first, found);
  }
}

void copyfield(XmlNode* project, const char* child, char* field, int size) {
  if (const char* value = xmlpathval(project, child)) copystr(value, field, size - 1);
}

int wordindex(XmlNode* project, const char* child, const char* const* words) {
  const char* value = xmlpathval(project, child);
  return value ? findkey(value, words) + 1 : 0;
}

ProjectEntry readentry(XmlNode* project) {
  ProjectEntry e;
  copyfield(project, "name", e.name, sizeof e.name);
  copyfield(project, "host", e.host, sizeof e.host);
  copyfield(project, "host2", e.host2, sizeof e.host2);
  copyfield(project, "platform", e.platform, sizeof e.platform);
  copyfield(project, "localdir", e.localdir, sizeof e.localdir);
  copyfield(project, "troskdir", e.troskdir, sizeof e.troskdir);
  copyfield(project, "user", e.user, sizeof e.user);
  copyfield(project, "access", e.access, sizeof e.access);
  copyfield(project, "suffix", e.suffix, sizeof e.suffix);
  copyfield(project, "sign", e.signkey, sizeof e.signkey);
  copyfield(project, "trust", e.trust, sizeof e.trust);
  e.status = static_cast<uint8_t>(wordindex(project, "status", kStatusWords));
  e.release = static_cast<uint8_t>(wordindex(project, "release", kReleaseWords));
  e.version = xmlgetint(project, "version", 0);
  e.backup = static_cast<int8_t>(xmlgetint(project, "backup", 1));
  return e;
}

void addtext(XmlNode* parent, const char* name, const char* value) {
  if (value && value[0]) xmladdval(parent, name, value, kXmlText);
}

void writeentry(XmlNode* list, const ProjectEntry& e) {
  XmlNode* p = xmlnode(list, "project");
  xmladdval(p, "name", e.name, kXmlText);
  addtext(p, "host", e.host);
  addtext(p, "host2", e.host2);
  addtext(p, "localdir", e.localdir);
  addtext(p, "troskdir", e.troskdir);
  int status = e.status & 0x1F;
  if (status >= kStatusModified && status <= kStatusNewer) addtext(p, "status", kStatusWords[status - 1]);
  if (e.release >= 1 && e.release <= 4) addtext(p, "release", kReleaseWords[e.release - 1]);
  addtext(p, "user", e.user);
  if (e.access[0] == '0') addtext(p, "access", e.access);
  addtext(p, "suffix", e.suffix);
  addtext(p, "sign", e.signkey);
  addtext(p, "trust", e.trust);
  if (e.backup >= 0) xmlsetint(p, "backup", e.backup);
}

}  // namespace

int readprojects(RunContext& rc, ProjectTable& table, const char* filename, const char* dir) {
  std::string undotted = filename[0] == '.' ? filename + 1 : filename;
  Remote local;
  local.host = dir;
  XmlDocument doc;
  if (getxml(rc, local, undotted.c_str(), doc) <= 0 && getxml(rc, local, filename, doc) <= 0) {
    return 0;
  }
  std::vector<XmlNode*> projects;
  collectprojects(doc.root.get(), projects);
  if (projects.empty()) return 0;
  table.clear();
  for (XmlNode* project : projects) table.push_back(readentry(project));
  return static_cast<int>(projects.size());
}

int writeprojects(RunContext& rc, const ProjectTable& table, const char* filename) {
  XmlTree root(xmlnode(nullptr, "trosk"));
  for (const ProjectEntry& e : table) writeentry(root.get(), e);
  return xmlsave(rc, filename, nullptr, root.get(), 0);
}

int addproject(Run& run, const char* name) {
  ProjectTable& table = run.projects;
  RunSettings& settings = run.settings;
  if (!table.empty()) {
    if (!name) return 0;
    int found = findproject(table, name);
    if (found >= 0) return found;
  }
  ProjectEntry& e = table.emplace_back();
  if (name) copystr(name, e.name, kNameSize - 1);
  if (settings.hostName) copystr(settings.hostName, e.host, kPathSize - 1);
  if (settings.localHost) copystr(settings.localHost, e.host2, kPathSize - 1);
  if (settings.accessOption) copystr(settings.accessOption, e.access, kPathSize - 1);
  if (settings.addCount > 0) e.status = kStatusSource;
  if (settings.suffix) copystr(settings.suffix, e.suffix, kSuffixSize - 1);
  if (settings.signKey) copystr(settings.signKey, e.signkey, kPathSize - 1);
  e.backup = static_cast<int8_t>(settings.backup);
  settings.projectCount = static_cast<int32_t>(table.size());
  settings.listChanged = 1;
  return settings.projectCount - 1;
}

int selectproject(Run& run) {
  RunContext& rc = run.context;
  RunSettings& settings = run.settings;
  const char* user = std::getenv("USER");
  char copy[kNameSize];
  copystr(user ? user : "", copy, kNameSize - 1);
  settings.userEnv = copy;
  run.projects.clear();
  const char* access = settings.accessOption;
  if (!access) {
    settings.accessToken = kBuiltinCredential;
  } else {
    settings.accessToken = access[0] == '0' ? nullptr : access;
  }
  settings.projectCount = readprojects(rc, run.projects, kProjectListName);
  settings.listChanged = settings.projectCount == 0 ? 1 : 0;
  if (!settings.projectName && settings.projectCount == 0) {
    char answer[kTextAnswerMax + 1];
    if (askuser(rc, "Enter project name: ", answer, nullptr) == 0) errormsg(rc, "No project found");
    int index = addproject(run, answer);
    settings.projectName = run.projects[index].name;  // kept by the table for the run
    return index;
  }
  return addproject(run, settings.projectName);
}

}  // namespace trosk
