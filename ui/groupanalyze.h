#pragma once
// The group analyzer: a tool window beside the main window with the RDS group
// statistics. It holds only its layout, initial texts and the reset button;
// the main window writes its contents from each statistics snapshot.
#include <QFont>
#include <QWidget>
#include <functional>
#include <memory>

namespace Ui {
class TGroupAnalyzeForm;
}
class QLabel;
class QPlainTextEdit;
class QTableWidget;

class TGroupAnalyzeForm : public QWidget {
  Q_OBJECT
 public:
  // The memo keeps this many lines of the selected group's data flow.
  static constexpr int kMemoLines = 7;
  // An edge moved this near to the work area's edge snaps onto it.
  static constexpr int kSnapBuffer = 10;

  explicit TGroupAnalyzeForm(QWidget* owner = nullptr);
  ~TGroupAnalyzeForm() override;

  // Called by the reset button after the memo is cleared: the owner points it
  // at the decoder's statistics reset.
  std::function<void()> OnResetStatistics;

  // The group index (version * 16 + type) of the grid's selected cell, -1
  // when the selection is on no group cell.
  int SelectedGroupIndex() const;
  // Selects the cell of a group index (0..31).
  void SelectGroup(int index);

  QTableWidget* grpGrid() const;
  QTableWidget* errGrid() const;
  QPlainTextEdit* Memo1() const;
  QLabel* Label(const char* name) const;  // GroupCount, grpSelName, ber, ...

  void Button1Click();

 protected:
  void moveEvent(QMoveEvent* event) override;

 private:
  void FormCreate();

  std::unique_ptr<Ui::TGroupAnalyzeForm> ui_;
};

// Sets a grid cell's text, creating the item on first use.
void SetCellText(QTableWidget* grid, int row, int column, const QString& text);
// Lets every line of the memo keep its shaped text: a line is otherwise
// shaped again each time it is painted or a cursor is placed in it, which
// for a memo that changes several times a second costs more than the rest.
void KeepShapedLines(QPlainTextEdit* memo);
// The font for a memo of received groups (type, version and four
// hexadecimal words) in the fixed-pitch font: such a line comes out glyph for
// glyph as the shaper would set it, so it is laid out without shaping, which
// costs most of a new line's layout.
QFont GroupLineFont(QFont font);
// Makes the memo's font smaller, half a point at a time, till the given
// number of lines show whole in the memo's height.
void FitLinesToHeight(QPlainTextEdit* memo, int lines);
// Appends a line to a memo and deletes the oldest lines beyond maxLines.
void AppendBoundedLine(QPlainTextEdit* memo, const QString& line, int maxLines);
