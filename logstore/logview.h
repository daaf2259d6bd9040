#pragma once
// The log viewer: the extended, change and raw logs in three read-only grids,
// a chooser of the extended grid's columns, hiding of the system rows of the
// change log, and the CSV export (beside the program, showing its progress,
// with a cancel). Rows committed while it is open appear.
#include <QDialog>
#include <functional>
#include <string>

#include "logstore/ExportSelect.h"
#include "logstore/LogTexts.h"

class QCheckBox;
class QLabel;
class QListWidget;
class QPushButton;
class QTableView;
class QTimer;
class TLogGridModel;

class TLogViewForm : public QDialog {
  Q_OBJECT
 public:
  // New rows are looked for this often.
  static constexpr int kRefreshMs = 1000;
  // An export's progress is shown this often.
  static constexpr int kProgressMs = 50;

  TLogViewForm(QWidget* Parent, const std::string& Database, TDateTimeFormat Format = SystemDateTimeFormat());
  ~TLogViewForm() override;

  void FormCreate();
  void CheckListBox1ClickCheck();
  void hideSystemClick();
  void btnExportClick();
  // Looks for rows committed since the last look.
  void RefreshLogs();

  // The export's questions; the defaults ask the user, tests answer them.
  std::function<bool(TExportSelection&)> AskLogs;
  std::function<std::string()> AskFileName;  // empty: cancelled
  std::function<void(const std::string&)> ShowError;

  QTableView* DBGrid1;  // extended log
  QTableView* DBGrid2;  // change log
  QTableView* DBGrid3;  // raw log
  QListWidget* CheckListBox1;
  QCheckBox* hideSystem;
  QPushButton* btnExport;
  QPushButton* btnClose;
  TLogGridModel* ExtModel;
  TLogGridModel* ChangeModel;
  TLogGridModel* RawModel;

 protected:
  void showEvent(QShowEvent* Event) override;

 private:
  QTableView* MakeGrid(const char* Name, TLogGridModel* Model);
  void Export(const TExportSelection& Which, const std::string& Base);

  std::string database_;
  TDateTimeFormat format_;
  QTimer* refresh_;
  bool sized_ = false;
};
