// The engine's file-by-file events as the window keeps them: owned copies
// that cross from the worker to the GUI thread in batches, so that a run of
// 100,000 files costs the window one repaint per batch and not per file.
#pragma once

#include <QString>
#include <array>

#include "core/frontend.h"

namespace trosk {

struct FileEvent {
  enum class Kind { kState, kResult, kSummary };
  Kind kind = Kind::kState;
  QString project;
  QString name;  // empty for a summary
  // kState
  QString state;
  bool localExists = false;
  bool differs = false;
  bool changedHere = false;
  bool changedOnHost = false;
  qint64 localSize = 0;
  qint64 hostSize = 0;
  QString localDate, hostDate;
  // kResult
  FileOutcome outcome = FileOutcome::kDownloaded;
  QString detail;
  // kSummary
  std::array<int, kFileOutcomes> counts{};
  int compared = 0;
  bool cancelled = false;
};

// The engine's borrowed UTF-8 text as the window keeps it.
QString qtext(std::string_view text);

FileEvent stateevent(const QString& project, const FileState& s);
FileEvent resultevent(const QString& project, const FileResult& r);
FileEvent summaryevent(const QString& project, const RunSummary& s);

}  // namespace trosk
