// The band analyzer's range edits. Kept apart from the window's chart code:
// the numeric edit's headers and the chart's share enumerator names.
#include "controls/DBCtrlsEx.h"
#include "ui/band/BandAnalyzer.h"

TDBNumberEditEx* NewRangeEdit(QWidget* Parent, double Value) {
  auto* e = new TDBNumberEditEx(Parent);
  // One decimal shown ("87.0"), as the frequency box and the presets show
  // a frequency.
  e->SetDecimalPlaces(1);
  e->SetDisplayFormat(QStringLiteral("#.0"));
  e->SetIncrement(0.1);
  e->SetMinValue(87.0);
  e->SetMaxValue(108.0);
  e->SetValue(Value);
  // Stepped with the up-down button inside its right edge, as the other
  // frequency boxes are.
  e->EditButton().SetStyle(ebsUpDownEx);
  e->EditButton().SetVisible(true);
  return e;
}

void OnRangeEditEnter(TDBNumberEditEx* Edit, std::function<void()> Action) {
  Edit->OnKeyUp = [Action = std::move(Action)](QObject*, int& Key, Qt::KeyboardModifiers) {
    if (Key == Qt::Key_Return || Key == Qt::Key_Enter) Action();
  };
}

QWidget* RangeEditWidget(TDBNumberEditEx* Edit) { return Edit; }

std::string RangeEditShown(TDBNumberEditEx* Edit) { return Edit->Text().toStdString(); }

void SetRangeEditShown(TDBNumberEditEx* Edit, const std::string& Text) {
  Edit->SetText(QString::fromStdString(Text));
}
