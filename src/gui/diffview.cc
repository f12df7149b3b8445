#include "gui/diffview.h"

#include <QAbstractTableModel>
#include <QDialogButtonBox>
#include <QEvent>
#include <QFile>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QShortcut>
#include <QStyledItemDelegate>
#include <QTableView>
#include <QVBoxLayout>
#include <algorithm>
#include <optional>
#include <string_view>

#include "diff/sidebyside.h"
#include "sync/showdiff.h"

namespace trosk {
namespace {

enum Column { kLeftNumber, kLeftText, kRightNumber, kRightText, kColumns };

constexpr int kTabWidth = 8;
// A longer line is cut where it is shown, so that a hostile one costs no
// more to draw than any other.
constexpr int kShownColumns = 1000;
// Rows of the text before a change that stay in sight above it.
constexpr int kContextRows = 3;

std::string_view view(const QByteArray& bytes) {
  return {bytes.constData(), static_cast<std::size_t>(bytes.size())};
}

// The whole copy, or nothing when it cannot be read or is larger than the
// engine compares.
std::optional<QByteArray> readcopy(const QString& path) {
  if (path.isEmpty()) return std::nullopt;
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return std::nullopt;
  QByteArray bytes = file.read(static_cast<qint64>(kMaxDiffFile) + 1);
  if (file.error() != QFileDevice::NoError || static_cast<std::size_t>(bytes.size()) > kMaxDiffFile) {
    return std::nullopt;
  }
  return bytes;
}

// Columns the line takes on the screen, up to where it is cut.
int columns(std::string_view line) {
  int n = 0;
  for (char c : line) {
    if (c == '\t') {
      n += kTabWidth - n % kTabWidth;
    } else if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) {
      ++n;  // the first byte of a character
    }
    if (n >= kShownColumns) return kShownColumns + 1;
  }
  return n;
}

QString expandtabs(const QString& text) {
  if (!text.contains(QLatin1Char('\t'))) return text;
  QString out;
  out.reserve(text.size() + kTabWidth);
  for (QChar c : text) {
    if (c == QLatin1Char('\t')) {
      out += QString(kTabWidth - out.size() % kTabWidth, QLatin1Char(' '));
    } else {
      out += c;
    }
  }
  return out;
}

QString shownline(std::string_view line) {
  // No character takes more than 4 bytes: the cut cannot fall before the
  // columns shown.
  const std::size_t bytes = std::min(line.size(), std::size_t{4} * kShownColumns);
  QString text = expandtabs(QString::fromUtf8(line.data(), static_cast<qsizetype>(bytes)));
  if (bytes < line.size() || text.size() > kShownColumns) {
    text.truncate(kShownColumns);
    text += QChar(0x2026);
  }
  return text;
}

QColor mix(const QColor& base, const QColor& tint, double share) {
  return QColor::fromRgbF(static_cast<float>(base.redF() * (1 - share) + tint.redF() * share),
                          static_cast<float>(base.greenF() * (1 - share) + tint.greenF() * share),
                          static_cast<float>(base.blueF() * (1 - share) + tint.blueF() * share));
}

// The tints are mixed into the palette's own background, pale on a light
// one and deep on a dark one, so that its text stays readable on them.
struct Colours {
  QBrush removed, added, changed, missing;  // missing: no line on this side
  QColor number;

  explicit Colours(const QPalette& palette) {
    const QColor base = palette.color(QPalette::Base), text = palette.color(QPalette::Text);
    constexpr double kTint = 0.3;
    removed = mix(base, QColor(220, 50, 50), kTint);
    added = mix(base, QColor(40, 170, 70), kTint);
    changed = mix(base, QColor(230, 160, 0), kTint);
    missing = mix(base, text, 0.07);
    number = mix(text, base, 0.45);
  }
};

// The selection (the current change) shows in the line numbers only: the
// lines keep the colours that tell what changed.
class NumbersSelected : public QStyledItemDelegate {
 public:
  using QStyledItemDelegate::QStyledItemDelegate;

  void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override {
    QStyleOptionViewItem shown = option;
    if (index.column() == kLeftText || index.column() == kRightText) shown.state &= ~QStyle::State_Selected;
    QStyledItemDelegate::paint(painter, shown, index);
  }
};

}  // namespace

// The rows of the two copies: a line number and the text for each side.
class DiffModel : public QAbstractTableModel {
 public:
  DiffModel(QByteArray oldtext, QByteArray newtext, QStringList headers, const QPalette& palette,
            QObject* parent)
      : QAbstractTableModel(parent),
        oldtext_(std::move(oldtext)),
        newtext_(std::move(newtext)),
        pairs_(sidebyside(view(oldtext_), view(newtext_))),
        headers_(std::move(headers)),
        colours_(palette) {}

  int rowCount(const QModelIndex& parent) const override {
    return parent.isValid() ? 0 : static_cast<int>(pairs_.rows.size());
  }
  int columnCount(const QModelIndex& parent) const override { return parent.isValid() ? 0 : kColumns; }
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
    return headers_.value(section);
  }

  const std::vector<int>& blocks() const { return pairs_.blocks; }
  bool changed(int row) const { return pairs_.rows[static_cast<std::size_t>(row)].kind != RowKind::kSame; }
  // One past the last row of the block.
  int blockend(int block) const {
    int row = pairs_.blocks[static_cast<std::size_t>(block)];
    while (row < rowCount({}) && changed(row)) ++row;
    return row;
  }
  int lines() const { return static_cast<int>(std::max(pairs_.left.size(), pairs_.right.size())); }
  int longestline() const {
    int longest = 0;
    for (const auto* side : {&pairs_.left, &pairs_.right}) {
      for (std::string_view line : *side) longest = std::max(longest, columns(line));
    }
    return longest;
  }

  void setcolours(const QPalette& palette) {
    colours_ = Colours(palette);
    if (rowCount({}) > 0) {
      emit dataChanged(index(0, 0), index(rowCount({}) - 1, kColumns - 1),
                       {Qt::BackgroundRole, Qt::ForegroundRole});
    }
  }

 private:
  QVariant background(const SideRow& row, int line) const {
    if (line < 0) return colours_.missing;
    switch (row.kind) {
      case RowKind::kSame: return {};
      case RowKind::kChanged: return colours_.changed;
      case RowKind::kRemoved: return colours_.removed;
      case RowKind::kAdded: return colours_.added;
    }
    return {};
  }

  QByteArray oldtext_, newtext_;
  SideBySide pairs_;  // points into the two texts
  QStringList headers_;
  Colours colours_;
};

QVariant DiffModel::data(const QModelIndex& index, int role) const {
  const SideRow& row = pairs_.rows[static_cast<std::size_t>(index.row())];
  const bool right = index.column() >= kRightNumber;
  const bool number = index.column() == kLeftNumber || index.column() == kRightNumber;
  const int line = right ? row.right : row.left;
  const std::vector<std::string_view>& side = right ? pairs_.right : pairs_.left;
  switch (role) {
    case Qt::DisplayRole:
      if (line < 0) return {};
      return number ? QVariant(line + 1) : QVariant(shownline(side[static_cast<std::size_t>(line)]));
    case Qt::BackgroundRole:
      return background(row, line);
    case Qt::ForegroundRole:
      return number ? QVariant(colours_.number) : QVariant();
    case Qt::TextAlignmentRole:
      return number ? QVariant(static_cast<int>(Qt::AlignRight | Qt::AlignVCenter)) : QVariant();
    case Qt::ToolTipRole:
      // Lines that look the same and still differ.
      if (row.kind == RowKind::kChanged && pairs_.left[static_cast<std::size_t>(row.left)] ==
                                               pairs_.right[static_cast<std::size_t>(row.right)]) {
        return QStringLiteral("Only the line ends differ");
      }
      return {};
    default:
      return {};
  }
}

DiffView::DiffView(const QString& name, const QString& text, const QString& localpath,
                   const QString& hostpath, bool upload, QWidget* parent)
    : QDialog(parent), text_(text) {
  setObjectName(QStringLiteral("diff"));
  setWindowTitle(QStringLiteral("Trosk differences: ") + name);
  resize(1000, 640);
  auto* layout = new QVBoxLayout(this);
  std::optional<QByteArray> local = readcopy(localpath);
  std::optional<QByteArray> host = local ? readcopy(hostpath) : std::nullopt;
  if (local && host) {
    QByteArray& oldtext = upload ? *host : *local;
    QByteArray& newtext = upload ? *local : *host;
    const QString localname = name + QStringLiteral(" (local)"), hostname = name + QStringLiteral(" (host)");
    model_ = new DiffModel(std::move(oldtext), std::move(newtext),
                           {QString(), upload ? hostname : localname, QString(),
                            upload ? localname : hostname},
                           palette(), this);
    layout->addWidget(twocolumns(name, upload));
  } else {
    layout->addWidget(note());
  }
  layout->addLayout(buttons(model_ != nullptr));
  if (model_) {
    if (changes() > 0) showchange(0);
    showposition();
  }
}

int DiffView::changes() const { return model_ ? static_cast<int>(model_->blocks().size()) : 0; }

int DiffView::currentchange() const {
  const int row = currentrow();
  if (!model_ || row < 0 || !model_->changed(row)) return 0;
  const std::vector<int>& blocks = model_->blocks();
  return static_cast<int>(std::upper_bound(blocks.begin(), blocks.end(), row) - blocks.begin());
}

void DiffView::changeEvent(QEvent* event) {
  if (event->type() == QEvent::PaletteChange && model_) model_->setcolours(palette());
  QDialog::changeEvent(event);
}

bool DiffView::eventFilter(QObject* watched, QEvent* event) {
  if (table_ && watched == table_->viewport() && event->type() == QEvent::Resize) fitcolumns();
  return QDialog::eventFilter(watched, event);
}

QWidget* DiffView::twocolumns(const QString& name, bool upload) {
  auto* box = new QWidget(this);
  auto* layout = new QVBoxLayout(box);
  layout->setContentsMargins(0, 0, 0, 0);
  const QString replaced =
      upload ? QStringLiteral("Uploading replaces the host's copy of %1 (left) with the local copy (right).")
             : QStringLiteral("Downloading replaces the local copy of %1 (left) with the host's copy (right).");
  auto* sides = new QLabel(replaced.arg(name), box);
  sides->setObjectName(QStringLiteral("sides"));
  sides->setTextFormat(Qt::PlainText);
  layout->addWidget(sides);

  table_ = new QTableView(box);
  table_->setObjectName(QStringLiteral("lines"));
  table_->setModel(model_);
  table_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  // The column titles stay in the dialog's own font.
  QFont titles = font();
  titles.setResolveMask(QFont::AllPropertiesResolved);
  table_->horizontalHeader()->setFont(titles);
  table_->setShowGrid(false);
  table_->setWordWrap(false);
  table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  table_->setSelectionBehavior(QAbstractItemView::SelectRows);
  table_->setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
  // Rows of one height: the view never measures a line, however many there are.
  QHeaderView* rows = table_->verticalHeader();
  rows->hide();
  rows->setSectionResizeMode(QHeaderView::Fixed);
  rows->setMinimumSectionSize(1);
  rows->setDefaultSectionSize(table_->fontMetrics().height() + 2);
  table_->horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  table_->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  table_->setItemDelegate(new NumbersSelected(table_));
  table_->viewport()->installEventFilter(this);
  const QFontMetrics metrics = table_->fontMetrics();
  const int digits = metrics.horizontalAdvance(QString::number(std::max(1, model_->lines())));
  table_->setColumnWidth(kLeftNumber, digits + 12);
  table_->setColumnWidth(kRightNumber, digits + 12);
  textwidth_ = metrics.horizontalAdvance(QLatin1Char('M')) * (model_->longestline() + 2) + 12;
  connect(table_->selectionModel(), &QItemSelectionModel::currentRowChanged, this, &DiffView::showposition);
  layout->addWidget(table_, 1);
  table_->setFocus();
  return box;
}

QWidget* DiffView::note() {
  auto* shown = new QPlainTextEdit(this);
  shown->setObjectName(QStringLiteral("note"));
  shown->setReadOnly(true);
  shown->setLineWrapMode(QPlainTextEdit::NoWrap);
  shown->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  shown->setPlainText(text_);
  return shown;
}

QLayout* DiffView::buttons(bool stepping) {
  auto* row = new QHBoxLayout;
  if (stepping) {
    previous_ = new QPushButton(QStringLiteral("&Previous change"), this);
    previous_->setObjectName(QStringLiteral("previous"));
    previous_->setToolTip(QStringLiteral("Shift+F7"));
    next_ = new QPushButton(QStringLiteral("&Next change"), this);
    next_->setObjectName(QStringLiteral("next"));
    next_->setToolTip(QStringLiteral("F7"));
    position_ = new QLabel(this);
    position_->setObjectName(QStringLiteral("position"));
    for (QPushButton* button : {previous_, next_}) {
      button->setAutoDefault(false);
      row->addWidget(button);
    }
    row->addWidget(position_);
    connect(previous_, &QPushButton::clicked, this, [this] { step(false); });
    connect(next_, &QPushButton::clicked, this, [this] { step(true); });
    connect(new QShortcut(QKeySequence(Qt::Key_F7), this), &QShortcut::activated, this, [this] { step(true); });
    connect(new QShortcut(QKeySequence(Qt::SHIFT | Qt::Key_F7), this), &QShortcut::activated, this,
            [this] { step(false); });
  }
  row->addStretch(1);
  auto* box = new QDialogButtonBox(QDialogButtonBox::Close, this);
  QPushButton* close = box->button(QDialogButtonBox::Close);
  close->setObjectName(QStringLiteral("close"));
  close->setAutoDefault(false);
  connect(box, &QDialogButtonBox::rejected, this, &QDialog::reject);
  row->addWidget(box);
  return row;
}

int DiffView::currentrow() const {
  const QModelIndex current = table_ ? table_->currentIndex() : QModelIndex();
  return current.isValid() ? current.row() : -1;
}

// To the first change below the current row, or the last above it; at
// either end the step goes nowhere.
void DiffView::step(bool forward) {
  const std::vector<int>& blocks = model_->blocks();
  const int row = currentrow();
  if (forward) {
    const auto below = std::upper_bound(blocks.begin(), blocks.end(), row);
    if (below != blocks.end()) showchange(static_cast<int>(below - blocks.begin()));
  } else {
    const auto above = std::lower_bound(blocks.begin(), blocks.end(), row);
    if (above != blocks.begin()) showchange(static_cast<int>(above - blocks.begin()) - 1);
  }
}

void DiffView::showchange(int block) {
  const int first = model_->blocks()[static_cast<std::size_t>(block)];
  const int last = model_->blockend(block) - 1;
  QItemSelectionModel* selection = table_->selectionModel();
  selection->setCurrentIndex(model_->index(first, kLeftNumber), QItemSelectionModel::NoUpdate);
  selection->select(QItemSelection(model_->index(first, 0), model_->index(last, kColumns - 1)),
                    QItemSelectionModel::ClearAndSelect);
  table_->scrollTo(model_->index(std::max(0, first - kContextRows), kLeftNumber),
                   QAbstractItemView::PositionAtTop);
  showposition();
}

void DiffView::showposition() {
  const int count = changes(), current = currentchange();
  const std::vector<int>& blocks = model_->blocks();
  const int row = currentrow();
  previous_->setEnabled(count > 0 && blocks.front() < row);
  next_->setEnabled(count > 0 && blocks.back() > row);
  if (count == 0) {
    position_->setText(QStringLiteral("No line differences"));
  } else if (current > 0) {
    position_->setText(QStringLiteral("Change %1 of %2").arg(current).arg(count));
  } else {
    position_->setText(count == 1 ? QStringLiteral("1 change") : QStringLiteral("%1 changes").arg(count));
  }
}

// The two texts share what the view has beside the numbers, and scroll
// sideways together when a line is longer.
void DiffView::fitcolumns() {
  const int numbers = table_->columnWidth(kLeftNumber) + table_->columnWidth(kRightNumber);
  const int width = std::max((table_->viewport()->width() - numbers) / 2, textwidth_);
  table_->setColumnWidth(kLeftText, width);
  table_->setColumnWidth(kRightText, width);
}

void showdifference(QWidget* parent, const QString& name, const QString& text,
                    const QString& localpath, const QString& hostpath, bool upload) {
  DiffView view(name, text, localpath, hostpath, upload, parent);
  view.exec();
}

DiffView* opendifference(QWidget* parent, const QString& name, const QString& text,
                         const QString& localpath, const QString& hostpath, bool upload) {
  auto* view = new DiffView(name, text, localpath, hostpath, upload, parent);
  view->setAttribute(Qt::WA_DeleteOnClose);
  view->open();
  return view;
}

}  // namespace trosk
