#include "ui/band/BandInfo.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>

#include "platform/Format.h"

namespace {

struct TColumnSpec {
  const char* Caption;
  int Width;
  Qt::Alignment Align;
  // The widest usual text: the column grows to show it where the font is
  // wider than the one the widths were chosen for.
  const char* Widest;
};
constexpr TColumnSpec kColumnSpecs[TBandInfoForm::kColumns] = {
    {"No", 30, Qt::AlignLeft, "99"},          {"ID", 40, Qt::AlignHCenter, "999"},
    {"Freq", 70, Qt::AlignRight, "108.0 MHz"}, {"Mode", 55, Qt::AlignHCenter, "Unknown"},
    {"Level", 70, Qt::AlignRight, "45.4 dB\xC2\xB5V"}, {"PI", 60, Qt::AlignHCenter, "D3C2"},
    {"PS", 100, Qt::AlignHCenter, "WWWWWWWW"}, {"AF List", 0, Qt::AlignLeft, ""}};

// Station texts are UTF-8 (the level's "µ"); the RDS texts are the station's
// bytes, shown one byte a character.
QString Utf8(const std::string& s) { return QString::fromUtf8(s.data(), qsizetype(s.size())); }
QString Bytes(const std::string& s) { return QString::fromLatin1(s.data(), qsizetype(s.size())); }

std::optional<int> IntOf(const std::optional<QString>& s) {
  bool ok = false;
  const int v = s ? s->toInt(&ok) : 0;
  return ok ? std::optional<int>(v) : std::nullopt;
}

double NumberWithoutUnit(const std::optional<QString>& s, int UnitChars) {
  return s ? TextWithoutUnit(s->toUtf8().toStdString(), UnitChars) : -1.0;
}

template <class T>
int Sign(T a, T b) {
  return a > b ? 1 : a < b ? -1 : 0;
}

}  // namespace

TBandInfoForm::TBandInfoForm(IBandInfoHost& Host, QWidget* Owner)
    : QWidget(Owner, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                         Qt::WindowCloseButtonHint),
      host_(Host) {
  setObjectName("BandInfoForm");
  setWindowTitle(QStringLiteral("Band Info - Quorvane Broadcast Ltd."));
  setMinimumWidth(600);
  resize(720, 260);

  infoList = new QTableWidget(0, kColumns, this);
  infoList->setObjectName("infoList");
  infoList->setEditTriggers(QAbstractItemView::NoEditTriggers);
  infoList->setSelectionBehavior(QAbstractItemView::SelectRows);
  infoList->setSelectionMode(QAbstractItemView::SingleSelection);
  infoList->setShowGrid(true);
  infoList->verticalHeader()->hide();
  infoList->verticalHeader()->setDefaultSectionSize(infoList->fontMetrics().height() + 4);
  infoList->setWordWrap(false);
  // Every second row on a pale green.
  infoList->setAlternatingRowColors(true);
  QPalette pal = infoList->palette();
  pal.setColor(QPalette::AlternateBase, QColor(0xCC, 0xFF, 0xCC));
  infoList->setPalette(pal);
  QHeaderView* header = infoList->horizontalHeader();
  header->setSectionsClickable(true);
  header->setHighlightSections(false);
  for (int c = 0; c < kColumns; ++c) {
    auto* item = new QTableWidgetItem(QString::fromLatin1(kColumnSpecs[c].Caption));
    item->setTextAlignment(kColumnSpecs[c].Align | Qt::AlignVCenter);
    infoList->setHorizontalHeaderItem(c, item);
    const int fit = infoList->fontMetrics().horizontalAdvance(QString::fromUtf8(kColumnSpecs[c].Widest)) + 12;
    if (kColumnSpecs[c].Width) infoList->setColumnWidth(c, std::max(kColumnSpecs[c].Width, fit));
  }
  header->setStretchLastSection(true);
  infoList->installEventFilter(this);
  connect(header, &QHeaderView::sectionClicked, this, [this](int c) { infoListColumnClick(c); });
  connect(infoList, &QTableWidget::cellDoubleClicked, this, [this] { infoListDblClick(); });

  auto button = [this](const char* name, const char* caption) {
    auto* b = new QPushButton(QString::fromUtf8(caption), this);
    b->setObjectName(name);
    return b;
  };
  btnDelSel = button("btnDelSel", "Remove Selected");
  btnAdd = button("btnAdd", "Add Marker");
  btnHide = button("btnHide", "Hide");
  btnPrint = button("btnPrint", "Print");
  btnClearAll = button("btnClearAll", "Clear All");
  btnClearNonRDS = button("btnClearNonRDS", "Clear Non RDS");
  btnPrint->setEnabled(false);
  btnClearAll->hide();
  btnClearNonRDS->hide();
  connect(btnDelSel, &QPushButton::clicked, this, [this] { btnDelSelClick(); });
  connect(btnAdd, &QPushButton::clicked, this, [this] { btnAddClick(); });
  connect(btnHide, &QPushButton::clicked, this, &QWidget::hide);
  connect(btnPrint, &QPushButton::clicked, this, [this] { btnPrintClick(); });
  connect(btnClearAll, &QPushButton::clicked, this, [this] { btnClearAllClick(); });
  connect(btnClearNonRDS, &QPushButton::clicked, this, [this] { btnClearNonRDSClick(); });

  auto* buttons = new QHBoxLayout;
  for (QPushButton* b : {btnDelSel, btnAdd, btnClearAll, btnClearNonRDS}) buttons->addWidget(b);
  buttons->addStretch(1);
  buttons->addWidget(btnHide);
  buttons->addWidget(btnPrint);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(4, 4, 4, 4);
  layout->addWidget(infoList, 1);
  layout->addLayout(buttons);
}

TBandInfoForm::~TBandInfoForm() = default;

// ---- Rows ---------------------------------------------------------------------------------

void TBandInfoForm::AddStation(const TColumnRecord& Record) {
  TRow row;
  row.Cells = {QString::number(rows_.size() + 1), QString::number(Record.Point), Utf8(Record.Freq),
               Utf8(Record.Mode), Utf8(Record.Level), Bytes(Record.PI), Bytes(Record.PS), Bytes(Record.AFList)};
  rows_.push_back(std::move(row));
  Refill();
  btnPrint->setEnabled(true);
}

void TBandInfoForm::UpdateStation(const TColumnRecord& Record) {
  const QString id = QString::number(Record.Point);
  for (TRow& r : rows_) {
    if (r.Cells[colID] != id) continue;
    r.Cells[colFreq] = Utf8(Record.Freq);
    r.Cells[colMode] = Utf8(Record.Mode);
    r.Cells[colLevel] = Utf8(Record.Level);
    r.Cells[colPI] = Bytes(Record.PI);
    r.Cells[colPS] = Bytes(Record.PS);
    r.Cells[colAF] = Bytes(Record.AFList);
  }
  Refill();
}

void TBandInfoForm::StationsReset() {
  ++resets_;
  rows_.clear();
  Refill();
  for (const TColumnRecord& r : host_.Stations()) AddStation(r);
  EnablePrint();
}

void TBandInfoForm::StationAdded(int Index) {
  const auto& s = host_.Stations();
  if (Index >= 0 && Index < int(s.size())) AddStation(s[size_t(Index)]);
}

void TBandInfoForm::StationUpdated(int Index) {
  const auto& s = host_.Stations();
  if (Index >= 0 && Index < int(s.size())) UpdateStation(s[size_t(Index)]);
}

std::optional<QString> TBandInfoForm::Cell(int Row, int Column) const {
  if (Row < 0 || Row >= int(rows_.size()) || Column < 0 || Column >= kColumns) return std::nullopt;
  return rows_[size_t(Row)].Cells[size_t(Column)];
}

int TBandInfoForm::SelectedRow() const {
  const QList<QTableWidgetSelectionRange> ranges = infoList->selectedRanges();
  return ranges.isEmpty() ? -1 : ranges.first().topRow();
}

void TBandInfoForm::SelectRow(int Row) {
  if (Row < 0 || Row >= int(rows_.size())) infoList->clearSelection();
  else infoList->selectRow(Row);
}

std::vector<TBandInfoForm::TPrintRow> TBandInfoForm::PrintRows() const {
  std::vector<TPrintRow> out;
  for (const TRow& r : rows_) {
    TPrintRow p;
    for (int c = colFreq; c < kColumns; ++c) p[size_t(c - colFreq)] = r.Cells[size_t(c)].value_or(QString());
    out.push_back(p);
  }
  return out;
}

void TBandInfoForm::Refill() {
  const int selected = SelectedRow();
  infoList->setRowCount(int(rows_.size()));
  for (int r = 0; r < int(rows_.size()); ++r) {
    for (int c = 0; c < kColumns; ++c) {
      const std::optional<QString>& text = rows_[size_t(r)].Cells[size_t(c)];
      if (!text) {
        delete infoList->takeItem(r, c);
        continue;
      }
      QTableWidgetItem* item = infoList->item(r, c);
      if (!item) {
        item = new QTableWidgetItem;
        item->setTextAlignment(kColumnSpecs[c].Align | Qt::AlignVCenter);
        infoList->setItem(r, c, item);
      }
      item->setText(*text);
    }
  }
  if (selected >= int(rows_.size())) infoList->clearSelection();
}

void TBandInfoForm::Renumber() {
  for (size_t i = 0; i < rows_.size(); ++i) rows_[i].Cells[colNo] = QString::number(i + 1);
}

void TBandInfoForm::EnablePrint() { btnPrint->setEnabled(!rows_.empty()); }

// ---- Sorting ------------------------------------------------------------------------------

int TBandInfoForm::infoListCompare(int A, int B) const {
  const TRow& a = rows_[size_t(A)];
  const TRow& b = rows_[size_t(B)];
  const auto& x = a.Cells[size_t(sortColumn_)];
  const auto& y = b.Cells[size_t(sortColumn_)];
  switch (sortColumn_) {
    case colNo:
    case colID:
      return Sign(IntOf(x).value_or(-1), IntOf(y).value_or(-1));
    case colFreq:
      return Sign(NumberWithoutUnit(x, 4), NumberWithoutUnit(y, 4));
    case colLevel:
      return Sign(NumberWithoutUnit(x, 5), NumberWithoutUnit(y, 5));
    default:
      return Sign(QString::compare(x.value_or(QString()), y.value_or(QString()), Qt::CaseInsensitive), 0);
  }
}

void TBandInfoForm::Sort() {
  // Sort through indexes so that the comparison reads the rows in place; the
  // selected row keeps its selection wherever it lands.
  const int selected = SelectedRow();
  std::vector<int> order(rows_.size());
  for (size_t i = 0; i < order.size(); ++i) order[i] = int(i);
  std::stable_sort(order.begin(), order.end(), [this](int a, int b) { return infoListCompare(a, b) < 0; });
  std::vector<TRow> sorted;
  int newSelected = -1;
  for (size_t i = 0; i < order.size(); ++i) {
    sorted.push_back(rows_[size_t(order[i])]);
    if (order[i] == selected) newSelected = int(i);
  }
  rows_ = std::move(sorted);
  Renumber();
  Refill();
  SelectRow(newSelected);
}

void TBandInfoForm::infoListColumnClick(int Column) {
  if (Column < 0 || Column >= kColumns) return;
  sortColumn_ = Column;
  Sort();
}

// ---- Buttons ------------------------------------------------------------------------------

void TBandInfoForm::btnClearAllClick() {
  rows_.clear();
  Refill();
}

void TBandInfoForm::btnClearNonRDSClick() {
  for (int i = int(rows_.size()) - 1; i >= 0; --i) {
    const std::optional<QString>& pi = rows_[size_t(i)].Cells[colPI];
    if (!pi || pi->isEmpty() || *pi == "0000" || *pi == "----") rows_.erase(rows_.begin() + i);
  }
  Renumber();
  Refill();
}

std::optional<int> TBandInfoForm::SelectedPoint() const { return IntOf(Cell(SelectedRow(), colID)); }

void TBandInfoForm::btnDelSelClick() {
  const int row = SelectedRow();
  if (row < 0) return;
  if (const std::optional<int> point = SelectedPoint()) {
    // The host rebuilds the list from its records, which drops the rows the
    // operator added: they are put back. While it analyses it keeps its
    // records and leaves the list as it is, and so are they.
    std::vector<TRow> own;
    for (const TRow& r : rows_)
      if (!IntOf(r.Cells[colID])) own.push_back(r);
    const int resets = resets_;
    host_.RemoveStation(*point);
    if (resets_ != resets && !own.empty()) {
      rows_.insert(rows_.end(), own.begin(), own.end());
      Sort();
    }
  } else {
    // An operator's row belongs to no station record: it goes alone.
    rows_.erase(rows_.begin() + row);
    Renumber();
    Refill();
  }
  EnablePrint();
}

void TBandInfoForm::btnAddClick() {
  const std::vector<TSplinePoint>& smooth = host_.Smooth();
  if (smooth.empty()) return;
  const double x = host_.MarkerX();
  const auto nearest = std::min_element(smooth.begin(), smooth.end(), [x](const TSplinePoint& a, const TSplinePoint& b) {
    return std::fabs(a.X - x) < std::fabs(b.X - x);
  });
  const QString freq = Utf8(FreqText(nearest->X));
  for (const TRow& r : rows_)
    if (r.Cells[colFreq] == freq) return;
  TRow row;
  row.Cells[colNo] = QString();
  row.Cells[colID] = QStringLiteral("??");
  row.Cells[colFreq] = freq;
  row.Cells[colMode] = QStringLiteral("Unknown");
  row.Cells[colLevel] = Utf8(LevelText(nearest->Y));
  rows_.push_back(std::move(row));
  sortColumn_ = colID;
  Sort();
  btnPrint->setEnabled(true);
}

void TBandInfoForm::btnPrintClick() {
  RunBandInfoPrint(PrintRows(), Bytes(host_.DescriptionStamped()), this);
}

void TBandInfoForm::infoListDblClick() {
  if (host_.ScanBusy()) return;
  host_.StopAnalyze();
  const std::optional<int> point = SelectedPoint();
  const std::vector<TSplinePoint>& smooth = host_.Smooth();
  // An ID outside the smoothed points names no point to tune to.
  if (!point || *point < 0 || *point >= int(smooth.size())) return;
  host_.Tune(std::nearbyint(smooth[size_t(*point)].X * 10) / 10);
  host_.SetMarker(*point);
}

bool TBandInfoForm::eventFilter(QObject* Watched, QEvent* Event) {
  if (Watched == infoList && Event->type() == QEvent::KeyRelease &&
      static_cast<QKeyEvent*>(Event)->key() == Qt::Key_Delete) {
    btnDelSelClick();
    return true;
  }
  return QWidget::eventFilter(Watched, Event);
}
