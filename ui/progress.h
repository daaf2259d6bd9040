#pragma once
// The "Processing" window: a status line and a progress bar shown over the
// other windows during long operations. While it is shown, the controls
// registered with it are disabled. It cannot be closed by the user; its owner
// hides it.
#include <QDialog>
#include <QPointer>
#include <vector>

class QLabel;
class QProgressBar;

class TProgressForm : public QDialog {
  Q_OBJECT
 public:
  explicit TProgressForm(QWidget* parent = nullptr);

  // Returns the control's 1-based position in the list, appending it first
  // when it is not there yet.
  int RegisterControl(QWidget* Control);
  int ControlCount() const { return static_cast<int>(Controls.size()); }

  QLabel* InfoLabel;
  QProgressBar* ProgressBar;

 protected:
  void showEvent(QShowEvent* event) override;
  void hideEvent(QHideEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void paintEvent(QPaintEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  void EnableControls(bool on);

  // Guarded references: a control freed while registered is skipped.
  std::vector<QPointer<QWidget>> Controls;
};
