#include "logstore/logview.h"

#include <QCheckBox>
#include <QFileDialog>
#include <QGridLayout>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QProgressDialog>
#include <QPushButton>
#include <QScrollBar>
#include <QTableView>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>
#include <climits>
#include <exception>
#include <tuple>
#include <vector>

#include "logstore/LogCsv.h"
#include "logstore/LogExport.h"
#include "logstore/LogGridModel.h"

namespace {

constexpr const char* kMakerName = "Quorvane Broadcast Ltd.";

// The extended grid opens with these columns shown.
bool ShownAtStart(const std::string& title) { return title == "Date/Time" || title == "PS" || title == "RTA"; }

int Clamp(int64_t n) { return static_cast<int>(std::min<int64_t>(n, INT_MAX)); }

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
  // Hidden columns are sized too, shown for the while (a hidden column has
  // no width of its own to size), so that they open wide enough when ticked.
  for (int c = 0; c < DBGrid1->model()->columnCount(); ++c) DBGrid1->setColumnHidden(c, false);
  for (QTableView* g : {DBGrid1, DBGrid2, DBGrid3}) {
    g->resizeColumnsToContents();
    for (int c = 0; c < g->model()->columnCount(); ++c)
      g->setColumnWidth(c, std::min(g->columnWidth(c), widest));
  }
  CheckListBox1ClickCheck();
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
    // The grid follows new rows only while its last row is in view; a user
    // who scrolled up (wheel, scroll bar) reads on where they are.
    const QScrollBar* bar = g->verticalScrollBar();
    const bool lastInView = bar->value() >= bar->maximum();
    const bool onLast = rows > 0 && g->currentIndex().row() == rows - 1;
    try {
      if (model->Refresh() > 0 && lastInView && !NewestFirst(model->View())) {
        if (onLast) g->setCurrentIndex(model->index(model->rowCount() - 1, std::max(0, g->currentIndex().column())));
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
  const std::tuple<bool, TLogView, const char*> logs[] = {{Which.ChangeLog, ChangeModel->View(), "Data Change Log"},
                                                          {Which.RawLog, TLogView::Raw, "RAW Log"},
                                                          {Which.ExtLog, TLogView::Ext, "Extended Log"}};
  std::vector<TLogExport::TFile> files;
  std::vector<QString> captions;
  for (const auto& [wanted, view, caption] : logs) {
    if (!wanted) continue;
    files.push_back({view, CsvFileName(Base, view)});
    captions.push_back(caption);
  }
  TLogExport job(
      std::move(files), [database = database_](TLogView view) { return MakeFbLogPager(database, view); }, format_);

  // The export runs beside the program; this window waits for it, showing
  // how far it got and offering to cancel. The progress window is gone
  // before a failure is told, so the message is the window on top (a
  // progress window left over would show itself above it).
  {
    QProgressDialog progress(this);
    progress.setObjectName("ExportProgress");
    progress.setWindowTitle("Export");
    progress.setWindowModality(Qt::WindowModal);
    progress.setAutoReset(false);
    progress.setAutoClose(false);
    progress.setMinimumDuration(0);
    progress.setRange(0, 0);
    QTimer poll;
    poll.setInterval(kProgressMs);
    auto update = [&] {
      const int64_t total = job.RowsTotal(), written = job.RowsWritten();
      progress.setLabelText(QString("Exporting %1: %2 rows written")
                                .arg(captions[std::min(job.Current(), captions.size() - 1)])
                                .arg(written));
      if (total > 0) {
        progress.setMaximum(Clamp(std::max(total, written)));
        progress.setValue(Clamp(written));
      }
      if (job.Done()) progress.accept();
    };
    connect(&poll, &QTimer::timeout, &progress, update);
    update();
    poll.start();
    if (!job.Done()) progress.exec();
    poll.stop();
    job.Cancel();  // when the dialog was closed or cancelled early
    job.Wait();
  }
  // The files already written stay; the one being written when a cancel or
  // failure came is not left behind.
  if (const std::string error = job.Error(); !error.empty()) ShowError("Export failed: " + error);
}
