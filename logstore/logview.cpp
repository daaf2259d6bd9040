#include "logstore/logview.h"

#include <QApplication>
#include <QCheckBox>
#include <QFileDialog>
#include <QGridLayout>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QTableView>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>
#include <exception>

#include "logstore/LogCsv.h"
#include "logstore/LogGridModel.h"

namespace {

constexpr const char* kMakerName = "Quorvane Broadcast Ltd.";

// The extended grid opens with these columns shown.
bool ShownAtStart(const std::string& title) { return title == "Date/Time" || title == "PS" || title == "RTA"; }

// Shows the hourglass for as long as it lives.
struct TBusyCursor {
  TBusyCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
  ~TBusyCursor() { QApplication::restoreOverrideCursor(); }
};

bool NewestFirst(TLogView v) { return v == TLogView::ChangesNewestFirst || v == TLogView::ChangesNewestFirstHideSystem; }

}  // namespace

TLogViewForm::TLogViewForm(QWidget* Parent, const std::string& Database, TDateTimeFormat Format)
    : QDialog(Parent), database_(Database), format_(std::move(Format)) {
  setObjectName("LogViewForm");
  setWindowTitle("Log View");
  resize(980, 640);
  ExtModel = new TLogGridModel(database_, TLogView::Ext, format_, this);
  ChangeModel = new TLogGridModel(database_, TLogView::Changes, format_, this);
  RawModel = new TLogGridModel(database_, TLogView::Raw, format_, this);
  DBGrid1 = MakeGrid("DBGrid1", ExtModel);
  DBGrid2 = MakeGrid("DBGrid2", ChangeModel);
  DBGrid3 = MakeGrid("DBGrid3", RawModel);

  CheckListBox1 = new QListWidget(this);
  CheckListBox1->setObjectName("CheckListBox1");
  hideSystem = new QCheckBox("Hide System Information", this);
  hideSystem->setObjectName("hideSystem");
  btnExport = new QPushButton("Export", this);
  btnExport->setObjectName("btnExport");
  btnClose = new QPushButton("Close", this);
  btnClose->setObjectName("btnClose");

  auto* grid = new QGridLayout(this);
  auto label = [&](const char* text, int row, int col) { grid->addWidget(new QLabel(text, this), row, col); };
  label("EXTENDED Log", 0, 0);
  grid->addWidget(DBGrid1, 1, 0, 1, 2);
  label("DATA CHANGE Log", 2, 0);
  label("RAW Log", 2, 1);
  grid->addWidget(DBGrid2, 3, 0);
  grid->addWidget(DBGrid3, 3, 1);
  auto* side = new QVBoxLayout;
  side->addWidget(new QLabel("Show/Hide", this));
  side->addWidget(CheckListBox1, 1);
  side->addWidget(hideSystem);
  side->addSpacing(12);
  side->addWidget(btnExport);
  side->addWidget(btnClose);
  grid->addLayout(side, 0, 2, 4, 1);
  grid->setColumnStretch(0, 3);
  grid->setColumnStretch(1, 2);
  grid->setRowStretch(1, 1);
  grid->setRowStretch(3, 1);

  FormCreate();

  connect(CheckListBox1, &QListWidget::itemChanged, this, [this] { CheckListBox1ClickCheck(); });
  connect(hideSystem, &QCheckBox::clicked, this, [this] { hideSystemClick(); });
  connect(btnExport, &QPushButton::clicked, this, [this] { btnExportClick(); });
  connect(btnClose, &QPushButton::clicked, this, &QDialog::close);

  AskLogs = [this](TExportSelection& which) {
    TExportSelectForm dialog(this);
    if (dialog.exec() != QDialog::Accepted) return false;
    which = dialog.Selection();
    return true;
  };
  AskFileName = [this] {
    return QFileDialog::getSaveFileName(this, QString(), QString(), "CSV-Comma Delimited (*.csv *.CSV)").toStdString();
  };
  ShowError = [this](const std::string& text) { QMessageBox::critical(this, "Error", QString::fromStdString(text)); };

  refresh_ = new QTimer(this);
  refresh_->setInterval(kRefreshMs);
  connect(refresh_, &QTimer::timeout, this, [this] { RefreshLogs(); });
  refresh_->start();
}

TLogViewForm::~TLogViewForm() = default;

QTableView* TLogViewForm::MakeGrid(const char* Name, TLogGridModel* Model) {
  auto* g = new QTableView(this);
  g->setObjectName(Name);
  // The indicator column: narrow, marking the current row. Rows all have one
  // height, set before the model comes so that no row is visited for it: a
  // grid of any length lays out at once.
  QHeaderView* v = g->verticalHeader();
  v->setSectionResizeMode(QHeaderView::Fixed);
  v->setDefaultSectionSize(g->fontMetrics().height() + 4);
  v->setMinimumWidth(14);
  v->setMaximumWidth(14);
  g->setModel(Model);
  g->setEditTriggers(QAbstractItemView::NoEditTriggers);
  g->setSelectionMode(QAbstractItemView::SingleSelection);
  g->setShowGrid(true);
  g->setWordWrap(false);
  g->setTextElideMode(Qt::ElideNone);  // fixed-length texts keep their blanks, clipped
  g->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
  g->horizontalHeader()->setHighlightSections(false);
  g->horizontalHeader()->setResizeContentsPrecision(0);  // sizing a column looks at the rows in view only
  connect(g->selectionModel(), &QItemSelectionModel::currentRowChanged, Model,
          [Model](const QModelIndex& current) { Model->SetCurrentRow(current.isValid() ? current.row() : -1); });
  // A reset (the exact count of a large log, a new order) keeps the grid on a row.
  connect(Model, &QAbstractItemModel::modelReset, g, [g, Model] {
    const int row = NewestFirst(Model->View()) ? 0 : Model->rowCount() - 1;
    if (row >= 0) g->setCurrentIndex(Model->index(row, 0));
  });
  // Like the datasets at start-up, the grid stands on the newest row.
  if (Model->rowCount() > 0) {
    g->setCurrentIndex(Model->index(Model->rowCount() - 1, 0));
    g->scrollToBottom();
  }
  return g;
}

void TLogViewForm::showEvent(QShowEvent* Event) {
  QDialog::showEvent(Event);
  if (sized_) return;
  sized_ = true;
  // Columns as wide as the rows in view (never the whole log) and their
  // titles; laid out first, so each grid knows which rows it shows.
  layout()->activate();
  // A fixed-length text's padding does not make its column wider than this.
  const int widest = fontMetrics().averageCharWidth() * 32;
  for (QTableView* g : {DBGrid1, DBGrid2, DBGrid3}) {
    g->resizeColumnsToContents();
    for (int c = 0; c < g->model()->columnCount(); ++c)
      g->setColumnWidth(c, std::min(g->columnWidth(c), widest));
  }
}

void TLogViewForm::FormCreate() {
  const auto& titles = LogColumnTitles(TLogView::Ext);
  CheckListBox1->clear();
  for (size_t i = 0; i < titles.size(); ++i) {
    auto* item = new QListWidgetItem(QString::fromLatin1(titles[i].c_str()), CheckListBox1);
    item->setFlags(Qt::ItemIsUserCheckable | Qt::ItemIsEnabled);
    const bool shown = ShownAtStart(titles[i]);
    item->setCheckState(shown ? Qt::Checked : Qt::Unchecked);
    DBGrid1->setColumnHidden(static_cast<int>(i), !shown);
  }
  setWindowTitle(windowTitle() + " - " + kMakerName);
}

void TLogViewForm::CheckListBox1ClickCheck() {
  for (int i = 0; i < CheckListBox1->count(); ++i)
    DBGrid1->setColumnHidden(i, CheckListBox1->item(i)->checkState() != Qt::Checked);
}

void TLogViewForm::hideSystemClick() {
  ChangeModel->SetView(hideSystem->isChecked() ? TLogView::ChangesNewestFirstHideSystem : TLogView::ChangesNewestFirst);
}

void TLogViewForm::RefreshLogs() {
  for (QTableView* g : {DBGrid1, DBGrid2, DBGrid3}) {
    auto* model = static_cast<TLogGridModel*>(g->model());
    const int rows = model->rowCount();
    const bool onLast = rows > 0 && g->currentIndex().row() == rows - 1;
    try {
      if (model->Refresh() > 0 && onLast && !NewestFirst(model->View())) {
        g->setCurrentIndex(model->index(model->rowCount() - 1, std::max(0, g->currentIndex().column())));
        g->scrollToBottom();
      }
    } catch (const std::exception&) {
      // The next tick looks again.
    }
  }
}

void TLogViewForm::btnExportClick() {
  TExportSelection which;
  if (!AskLogs(which) || !which.Any()) return;
  // The name keeps whatever extension the operator typed: "week.csv" gives
  // "week.csv_change_log.csv" and so on.
  const std::string base = AskFileName();
  if (base.empty()) return;
  Export(which, base);
}

void TLogViewForm::Export(const TExportSelection& Which, const std::string& Base) {
  TBusyCursor busy;
  const std::pair<bool, TLogView> logs[] = {
      {Which.ChangeLog, ChangeModel->View()}, {Which.RawLog, TLogView::Raw}, {Which.ExtLog, TLogView::Ext}};
  try {
    for (const auto& [wanted, view] : logs) {
      if (!wanted) continue;
      auto source = MakeFbLogPager(database_, view);
      WriteLogCsv(*source, CsvFileName(Base, view), format_);
    }
  } catch (const std::exception& e) {
    // The files already written stay.
    ShowError(std::string("Export failed: ") + e.what());
  }
}
