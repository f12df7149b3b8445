#include "gui/fileevent.h"

namespace trosk {
QString qtext(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

FileEvent stateevent(const QString& project, const FileState& s) {
  FileEvent e;
  e.kind = FileEvent::Kind::kState;
  e.project = project;
  e.name = qtext(s.name);
  e.state = qtext(s.state);
  e.localExists = s.localExists;
  e.differs = s.differs;
  e.changedHere = s.changedHere;
  e.changedOnHost = s.changedOnHost;
  e.localSize = s.localSize;
  e.hostSize = s.hostSize;
  e.localDate = qtext(s.localDate);
  e.hostDate = qtext(s.hostDate);
  return e;
}

FileEvent resultevent(const QString& project, const FileResult& r) {
  FileEvent e;
  e.kind = FileEvent::Kind::kResult;
  e.project = project;
  e.name = qtext(r.name);
  e.outcome = r.outcome;
  e.detail = qtext(r.detail);
  return e;
}

FileEvent summaryevent(const QString& project, const RunSummary& s) {
  FileEvent e;
  e.kind = FileEvent::Kind::kSummary;
  e.project = s.project.empty() ? project : qtext(s.project);
  for (int i = 0; i < kFileOutcomes; ++i) e.counts[static_cast<std::size_t>(i)] = s.counts[i];
  e.compared = s.compared;
  e.cancelled = s.cancelled;
  return e;
}

}  // namespace trosk
