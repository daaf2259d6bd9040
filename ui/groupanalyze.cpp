#include "ui/groupanalyze.h"

#include <QFontDatabase>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QMoveEvent>
#include <QScreen>
#include <QHeaderView>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QTextBlock>
#include <QTextLayout>
#include <QTextCursor>
#include <cmath>

#include "ui/DialogStyle.h"
#include "ui/MainStatistics.h"
#include "ui_groupanalyze.h"

namespace {

constexpr int kRowHeight = 15;
constexpr int kDefaultColumnWidth = 64;

void SetFixedCell(QTableWidget* grid, int row, int column, const QString& text) {
  auto* item = new QTableWidgetItem(text);
  item->setFlags(Qt::ItemIsEnabled);  // fixed cells cannot be selected
  item->setBackground(grid->palette().button());
  item->setTextAlignment(Qt::AlignCenter);
  grid->setItem(row, column, item);
}

void PrepareGrid(QTableWidget* grid, int rows, int columns) {
  grid->setRowCount(rows);
  grid->setColumnCount(columns);
  grid->horizontalHeader()->hide();
  grid->horizontalHeader()->setMinimumSectionSize(10);
  grid->verticalHeader()->hide();
  grid->verticalHeader()->setMinimumSectionSize(kRowHeight);
  grid->verticalHeader()->setDefaultSectionSize(kRowHeight);
  grid->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  grid->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  grid->setFrameShape(QFrame::NoFrame);
  grid->setTextElideMode(Qt::ElideNone);
  grid->setWordWrap(false);
  grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
  grid->setSelectionMode(QAbstractItemView::SingleSelection);
  grid->setSelectionBehavior(QAbstractItemView::SelectItems);
  QFont f = grid->font();
  f.setPointSize(8);
  grid->setFont(f);
}

int GridWidth(const QTableWidget* grid) {
  int w = 0;
  for (int c = 0; c < grid->columnCount(); ++c) w += grid->columnWidth(c);
  return w + 4;
}

}  // namespace

void SetCellText(QTableWidget* grid, int row, int column, const QString& text) {
  if (!grid || row < 0 || column < 0 || row >= grid->rowCount() || column >= grid->columnCount()) return;
  QTableWidgetItem* item = grid->item(row, column);
  if (!item) {
    item = new QTableWidgetItem();
    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
    grid->setItem(row, column, item);
  }
  if (item->text() != text) item->setText(text);
}

void KeepShapedLines(QPlainTextEdit* memo) {
  if (!memo) return;
  QTextDocument* doc = memo->document();
  // Set before the memo lays out what changed (the document announces the
  // change first), so the line's layout already keeps what it shaped.
  const auto keep = [doc](int from, int, int added) {
    for (QTextBlock b = doc->findBlock(from); b.isValid() && b.position() <= from + added; b = b.next())
      b.layout()->setCacheEnabled(true);
  };
  QObject::connect(doc, &QTextDocument::contentsChange, memo, keep);
  keep(0, 0, doc->characterCount());
}

QFont GroupLineFont(QFont font) {
  font.setStyleStrategy(QFont::StyleStrategy(font.styleStrategy() | QFont::PreferNoShaping));
  return font;
}

void FitLinesToHeight(QPlainTextEdit* memo, int lines) {
  if (!memo || lines <= 0) return;
  // A memo's lines stand one under the other between its document's margins,
  // each as high as the font's ascent and descent in whole pixels.
  const qreal room = memo->contentsRect().height() - 2 * memo->document()->documentMargin();
  QFont font = memo->font();
  while (font.pointSizeF() > 6 && lines * std::ceil(QFontMetricsF(font).height()) > room)
    font.setPointSizeF(font.pointSizeF() - 0.5);
  memo->setFont(font);
}

void AppendBoundedLine(QPlainTextEdit* memo, const QString& line, int maxLines) {
  if (!memo || maxLines <= 0) return;
  QTextDocument* doc = memo->document();
  // With the bound on the document the memo drops the oldest line as part
  // of the append: one scroll and one layout of the new line, instead of a
  // scroll to the new line and another back when the oldest goes.
  if (doc->maximumBlockCount() != maxLines) doc->setMaximumBlockCount(maxLines);
  // Once the memo is full every line moves up and the whole memo is painted
  // again: moving its pixels up first (the scroll to the new line) would be
  // undone by that. Without updates the viewport takes the new position
  // without moving pixels, and is painted whole when they are back on.
  QWidget* viewport = memo->viewport();
  const bool full = doc->blockCount() >= maxLines && viewport->updatesEnabled();
  if (full) viewport->setUpdatesEnabled(false);
  memo->appendPlainText(line);
  if (full) viewport->setUpdatesEnabled(true);
  while (doc->blockCount() > maxLines) {
    QTextCursor cursor(doc->firstBlock());
    cursor.movePosition(QTextCursor::NextBlock, QTextCursor::KeepAnchor);
    cursor.removeSelectedText();
  }
}

TGroupAnalyzeForm::TGroupAnalyzeForm(QWidget* owner)
    : QWidget(owner, Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                         Qt::MSWindowsFixedSizeDialogHint),
      ui_(std::make_unique<Ui::TGroupAnalyzeForm>()) {
  ui_->setupUi(this);
  FormCreate();
  connect(ui_->Button1, &QPushButton::clicked, this, [this] { Button1Click(); });
}

TGroupAnalyzeForm::~TGroupAnalyzeForm() = default;

void TGroupAnalyzeForm::FormCreate() {
  QTableWidget* grp = ui_->grpGrid;
  PrepareGrid(grp, 17, 3);
  grp->setColumnWidth(0, 20);
  grp->setColumnWidth(1, kDefaultColumnWidth);
  grp->setColumnWidth(2, kDefaultColumnWidth);
  SetFixedCell(grp, 0, 0, QString());
  SetFixedCell(grp, 0, 1, "Type A");
  SetFixedCell(grp, 0, 2, "Type B");
  for (int r = 1; r <= 16; ++r) {
    SetFixedCell(grp, r, 0, QString::number(r - 1));
    SetCellText(grp, r, 1, QString());
    SetCellText(grp, r, 2, QString());
  }
  grp->resize(GridWidth(grp), 17 * kRowHeight + 4);
  grp->setCurrentCell(1, 1);

  QTableWidget* err = ui_->errGrid;
  PrepareGrid(err, 2, 3);
  for (int c = 0; c < 3; ++c) err->setColumnWidth(c, kDefaultColumnWidth);
  SetFixedCell(err, 0, 0, "2 bits");
  SetFixedCell(err, 0, 1, "5 bits");
  SetFixedCell(err, 0, 2, "fatal");
  for (int c = 0; c < 3; ++c) SetCellText(err, 1, c, QString());
  err->setSelectionMode(QAbstractItemView::NoSelection);
  err->resize(3 * kDefaultColumnWidth + 4, 2 * kRowHeight + 4);

  QFont mono = QFontDatabase::systemFont(QFontDatabase::FixedFont);
  mono.setPointSize(8);
  ui_->Memo1->setFont(mono);
  ui_->Memo1->setMaximumBlockCount(0);
  KeepShapedLines(ui_->Memo1);

  setWindowTitle(windowTitle() + " - " + "Quorvane Broadcast Ltd.");
  for (QLabel* l : {ui_->GroupCount, ui_->grpSelName, ui_->insertTime, ui_->pinsertTime, ui_->deltaTime,
                    ui_->maxTime, ui_->minTime, ui_->avgTime, ui_->blockCount, ui_->errPerc, ui_->errBlocks,
                    ui_->ber})
    l->clear();
  setFixedSize(size());
}

int TGroupAnalyzeForm::SelectedGroupIndex() const {
  return stats::GroupIndexOfCell(ui_->grpGrid->currentColumn(), ui_->grpGrid->currentRow());
}

void TGroupAnalyzeForm::SelectGroup(int index) {
  if (index < 0 || index >= stats::kGroupKinds) return;
  ui_->grpGrid->setCurrentCell(index % 16 + 1, index / 16 + 1);
}

QTableWidget* TGroupAnalyzeForm::grpGrid() const { return ui_->grpGrid; }
QTableWidget* TGroupAnalyzeForm::errGrid() const { return ui_->errGrid; }
QPlainTextEdit* TGroupAnalyzeForm::Memo1() const { return ui_->Memo1; }
QLabel* TGroupAnalyzeForm::Label(const char* name) const { return findChild<QLabel*>(QString::fromLatin1(name)); }

void TGroupAnalyzeForm::Button1Click() {
  ui_->Memo1->clear();
  if (OnResetStatistics) OnResetStatistics();
}

void TGroupAnalyzeForm::moveEvent(QMoveEvent* event) {
  QWidget::moveEvent(event);
  QScreen* screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen();
  if (!screen || !isVisible()) return;
  const QRect frame = frameGeometry();
  const QPoint snapped = SnappedToWorkArea(frame, screen->availableGeometry(), kSnapBuffer);
  if (snapped != frame.topLeft()) move(snapped);
}
