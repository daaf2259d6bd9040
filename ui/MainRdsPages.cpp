// The main window's RDS pages: the decoder's change listener, the reset of
// the pages, the group lamps and the statistics display.
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTabWidget>
#include <QTableWidget>
#include <QTextCursor>
#include <cstring>

#include "ui/DualImage1.h"
#include "ui/Main.h"
#include "ui/mpx/MPXGraph.h"
#include "ui/MainStatistics.h"
#include "ui/RemoteObject.h"
#include "ui/blockerror.h"
#include "ui/groupanalyze.h"
#include "ui_Main.h"

namespace {

// RDS texts are raw bytes; they become display text only here.
QString Text(const std::string& s) { return QString::fromLatin1(s.data(), static_cast<qsizetype>(s.size())); }

void Set(QLabel* label, const std::string& s) {
  const QString t = Text(s);
  if (label->text() != t) label->setText(t);
}
// As setText leaves it: the text, the cursor at its end, nothing selected.
void Set(QLineEdit* edit, const QString& t) {
  if (edit->text() == t && !edit->hasSelectedText() && edit->cursorPosition() == t.size()) return;
  edit->setText(t);
}
void Set(QLineEdit* edit, const std::string& s) { Set(edit, Text(s)); }

// As setPlainText leaves it: the text, shown from its start, the cursor at
// its start, nothing selected.
void SetPlainText(QPlainTextEdit* memo, const QString& t) {
  const QTextCursor c = memo->textCursor();
  if (c.position() == 0 && !c.hasSelection() && memo->verticalScrollBar()->value() == 0 &&
      memo->horizontalScrollBar()->value() == 0 && memo->toPlainText() == t)
    return;
  memo->setPlainText(t);
}

void SetNumber(QLabel* label, int v) { Set(label, std::to_string(v)); }

// Selects the received segment of a RadioText, within the text's bounds. The
// memo keeps showing the text from its first line: following the selection
// would scroll the start of the text out of the small memo.
void SelectSegment(QPlainTextEdit* memo, int start, int length) {
  const int size = memo->document()->characterCount() - 1;
  start = std::clamp(start, 0, std::max(0, size));
  const int end = std::clamp(start + std::max(0, length), start, std::max(start, size));
  const QTextCursor shown = memo->textCursor();
  if (shown.anchor() == start && shown.position() == end && memo->verticalScrollBar()->value() == 0) return;
  QTextCursor c(memo->document());
  c.setPosition(start);
  c.setPosition(end, QTextCursor::KeepAnchor);
  memo->setTextCursor(c);
  memo->verticalScrollBar()->setValue(0);
}

void ShowRadioText(QPlainTextEdit* memo, QLineEdit* second, const TDataChange& c) {
  // The 64 raw bytes hold the 0x0D end marker and may hold other control
  // bytes: as line breaks they would push the text off the two-line memo.
  const QString t = Text(stats::ControlsAsBlanks(c.Texts[0]));
  if (memo->toPlainText() != t) memo->setPlainText(t);
  SelectSegment(memo, c.Value, c.Extra);
  // Shown from its first character: a text wider than the box is cut at
  // its end, not at its start.
  if (second->text() != t) {
    second->setText(t);
    second->setCursorPosition(0);
  }
}

// The BER comes after every block and mostly repeats: formatted once per
// value (user-interface thread only).
const std::string& BerTextOf(double ber) {
  static double last = 0;
  static std::string text;
  if (text.empty() || std::memcmp(&ber, &last, sizeof ber) != 0) {
    last = ber;
    text = stats::BerText(ber);
  }
  return text;
}

}  // namespace

void TMainForm::RDSDataChange() {
  // While the band analyzer owns the receiver the queued changes are dropped.
  if (Closing || BandAnalyzerBusy() || !RDSCollector) return;
  for (const TDataChange& c : RDSCollector->Changes) ShowChange(c);
}

void TMainForm::ShowChange(const TDataChange& c) {
  Ui::TMainForm& u = *ui_;
  switch (c.Kind) {
    case dcPI:
      Set(u.lblPI, c.Texts[0]);
      LogChange(0, c.Value, c.Texts[1]);
      break;
    case dcTP:
      Set(u.lblTP, c.Texts[0]);
      LogChange(1, c.Value, c.Texts[0]);
      break;
    case dcPTY:
      Set(u.lblPTY, c.Texts[0]);
      LogChange(2, c.Value, c.Texts[1]);
      break;
    case dcTA:
      Set(u.lblTA, c.Texts[0]);
      Set(u.lbl0TA, c.Texts[0]);
      LogChange(3, c.Value, c.Texts[0]);
      break;
    case dcMS:
      Set(u.lblMS, c.Texts[0]);
      Set(u.lbl0MS, c.Texts[0]);
      LogChange(4, c.Value, c.Texts[0]);
      break;
    case dcDI: {
      Set(u.lblDI, c.Texts[1]);
      Set(u.lbl0DI, c.Texts[1]);
      QLabel* bits[] = {u.lbl0DI0, u.lbl0DI1, u.lbl0DI2, u.lbl0DI3};
      for (int i = 0; i < 4; ++i) Set(bits[i], c.Texts[2 + i]);
      Set(u.lblDIText, c.Texts[0]);
      Set(u.lbl0DIText, c.Texts[0]);
      // A DI number is only logged once all four segments are known.
      if (c.Texts[1] != "??") LogChange(5, std::atoi(c.Texts[1].c_str()), c.Texts[0]);
      break;
    }
    case dcPSSegment: {
      Set(u.edPS, c.Texts[0]);
      u.edPS->setSelection(std::clamp<int>(c.Value, 0, 7), 2);
      break;
    }
    case dcAFCount: {
      SetNumber(u.lblAFCount, c.Value);
      SetNumber(u.lbl0AFCount, c.Value);
      Set(u.lblAFMethod, c.Texts[0]);
      Set(u.lbl0AFMethod, c.Texts[0]);
      QStringList lines;
      for (const std::string& l : c.AFLines) lines << Text(l);
      for (QListWidget* list : {u.lstAF, u.lst0AF}) {
        list->clear();
        list->addItems(lines);
      }
      LogChange(9, c.Value, c.Texts[1]);
      break;
    }
    case dcRTAText:
    case dcRTAConfirmed:
      ShowRadioText(u.memRTA, u.ed2RTA, c);
      LogChange(10, 0, c.Texts[0]);
      break;
    case dcRTBText:
    case dcRTBConfirmed:
      ShowRadioText(u.memRTB, u.ed2RTB, c);
      LogChange(11, 0, c.Texts[0]);
      break;
    case dcMode:
      Set(u.lblPICaption, c.Texts[0]);
      break;
    case dcPSConfirmed:
      Set(u.lblPSConfirmed, c.Texts[1]);
      LogChange(6, 0, c.Texts[1]);
      break;
    case dcClockTime:
      SetNumber(u.lbl4TimeWord, c.Value);
      Set(u.lbl4Hour, c.Texts[1]);
      Set(u.lbl4Minute, c.Texts[2]);
      Set(u.lbl4Offset, c.Texts[3]);
      Set(u.lbl4CT, c.Texts[0]);
      Set(u.lblCT, c.Texts[0]);
      LogChange(7, 0, c.Texts[0]);
      break;
    case dcClockDate:
      SetNumber(u.lbl4MJD, c.Value);
      Set(u.lbl4Day, c.Texts[1]);
      Set(u.lbl4Month, c.Texts[2]);
      Set(u.lbl4Year, c.Texts[3]);
      Set(u.lbl4Weekday, c.Texts[4]);
      Set(u.lbl4Week, c.Texts[5]);
      Set(u.lbl4CT, c.Texts[0]);
      Set(u.lblCT, c.Texts[0]);
      break;
    case dcAFList: {
      SetNumber(u.lbl0AFAnnounced, c.Value);
      Set(u.lbl0AFFirst, c.Texts[0]);
      Set(u.lbl0AFPairs, c.Texts[1]);
      QString detail = Text(c.Texts[2]);
      detail.replace("\r\n", "\n");
      if (detail.endsWith('\n')) detail.chop(1);
      SetPlainText(u.mem0AFDetail, detail);
      break;
    }
    case dcRTFlag:
      SetNumber(u.lbl2Flag, c.Value);
      break;
    case dcPIN:
      Set(u.lbl1PIN, c.Texts[0]);
      Set(u.lbl1PINTime, c.Texts[1]);
      break;
    case dcSlowLabelling:
      if (c.Value == TRDSCollector::kUnknown) break;
      SetNumber(u.lbl1Variant, c.Value);
      SetNumber(u.lbl1LA, c.Extra);
      switch (c.Value) {
        case 0:
          Set(u.lbl1Country, c.Texts[0]);
          Set(u.lbl1OPC, c.Texts[1]);
          break;
        case 1: Set(u.lbl1TMC, c.Texts[0]); break;
        case 2: Set(u.lbl1Paging, c.Texts[0]); break;
        case 3: Set(u.lbl1Language, c.Texts[0]); break;
        case 6: Set(u.lbl1Broadcaster, c.Texts[0]); break;
        case 7: Set(u.lbl1EWS, c.Texts[0]); break;
        default: break;
      }
      break;
    case dcODA:
      Set(u.lbl3AppGroup, c.Texts[0]);
      Set(u.lbl3Message, c.Texts[1]);
      Set(u.lbl3AID, c.Texts[2]);
      break;
    case dcTDC:
      Set(u.lbl5Address, c.Texts[0]);
      Set(u.lbl5Data, c.Texts[1]);
      break;
    case dcInHouse:
      Set(u.lbl6Address, c.Texts[0]);
      Set(u.lbl6Data, c.Texts[1]);
      break;
    case dcPaging:
      Set(u.lbl7Flag, c.Texts[0]);
      Set(u.lbl7Segment, c.Texts[1]);
      Set(u.lbl7Data, c.Texts[2]);
      break;
    case dcTMC:
      Set(u.lbl8Bits, c.Texts[0]);
      Set(u.lbl8BlockC, c.Texts[1]);
      Set(u.lbl8BlockD, c.Texts[2]);
      break;
    case dcGroup9:
      Set(u.lbl9Bits, c.Texts[0]);
      Set(u.lbl9Data, c.Texts[1]);
      break;
    case dcPTYN:
      SetNumber(u.lbl10Flag, c.Value);
      Set(u.lbl10PTYN, c.Texts[0]);
      break;
    case dcGroup11:
      Set(u.lbl11Bits, c.Texts[0]);
      Set(u.lbl11Data, c.Texts[1]);
      break;
    case dcGroup12:
      Set(u.lbl12Bits, c.Texts[0]);
      Set(u.lbl12Data, c.Texts[1]);
      break;
    case dcEnhancedPaging: {
      QLabel* sub[] = {u.lbl13Sub1, u.lbl13Sub2, u.lbl13Sub3, u.lbl13Sub4};
      for (int i = 0; i < 4; ++i) Set(sub[i], c.Texts[i]);
      Set(u.lbl13Data, c.Texts[4]);
      break;
    }
    case dcEON: {
      Set(u.lbl14Variant, c.Value == TRDSCollector::kUnknown ? std::string() : std::to_string(c.Value));
      QLabel* eon[] = {u.lbl14VariantName, u.lbl14PI,    u.lbl14TP,    u.lbl14TA,    u.lbl14PTY,
                       u.lbl14PIN,         u.lbl14PS,    u.lbl14AF,    u.lbl14Map1,  u.lbl14Map2,
                       u.lbl14Map3,        u.lbl14Map4,  u.lbl14Map5,  u.lbl14Map6,  u.lbl14Map7,
                       u.lbl14Map8,        u.lbl14Map9,  u.lbl14Map10, u.lbl14Map11};
      for (int i = 0; i < 19; ++i) Set(eon[i], c.Texts[i]);
      break;
    }
    case dcGroup15: {
      QLabel* g15[] = {u.lbl15DI, u.lbl15DI0, u.lbl15DI1, u.lbl15DI2, u.lbl15DI3, u.lbl15TA, u.lbl15MS, u.lbl15Text};
      for (int i = 0; i < 8; ++i) Set(g15[i], c.Texts[i]);
      break;
    }
    case dcGroup: {
      AppendBoundedLine(u.memGroups, Text(c.Texts[0]), kGroupMemoLines);
      const int index = c.Extra * 16 + c.Value;
      if (index >= 0 && index < 32) GroupSeen[index] = devices_.Clock().Now();
      GroupLighterTimer();
      if (DM) DM->LogRaw(RDSCollector->Group, Tuner ? Tuner->FreqIndex() : 0);
      break;
    }
    case dcStatistics:
      ShowStatistics(c.Stats);
      break;
    case dcRTASegment:
      SelectSegment(u.memRTA, c.Value, c.Extra);
      break;
    case dcRTBSegment:
      SelectSegment(u.memRTB, c.Value, c.Extra);
      break;
    default:
      break;
  }
}

void TMainForm::ClearTaggedControls(QWidget* parent) {
  for (QObject* child : parent->children()) {
    auto* w = qobject_cast<QWidget*>(child);
    if (!w) continue;
    if (!w->findChildren<QWidget*>(Qt::FindDirectChildrenOnly).isEmpty()) ClearTaggedControls(w);
    const int tag = w->property("tag").toInt();
    if (tag < 101 || tag > 105) continue;
    QString text;
    if (tag == 104) text = "not transmitted";
    if (tag == 105) text = "unknown";
    if (auto* l = qobject_cast<QLabel*>(w))
      l->setText(text);
    else if (auto* e = qobject_cast<QLineEdit*>(w))
      e->setText(text);
    else if (auto* m = qobject_cast<QPlainTextEdit*>(w))
      m->setPlainText(text);
    else if (auto* lb = qobject_cast<QListWidget*>(w))
      lb->clear();
  }
}

void TMainForm::ResetDisplay() {
  if (BlockError) BlockError->Reset();
  if (RDSCollector) RDSCollector->Reset();
  ui_->pcRDS->hide();
  ClearTaggedControls(ui_->pcRDS);
  ui_->pcRDS->show();
  ui_->memGroups->clear();
  if (MPXGraph) MPXGraph->ResetMeasurement();
}

void TMainForm::ShowStatistics(const TRDSStatistics& S) {
  const std::string& ber = BerTextOf(S.BER);
  Set(ui_->lblBER, ber);
  if (RemoteActive && RemoteObject) RemoteObject->SetVar("BER", ber, false);
  if (!GroupAnalyzer || !GroupAnalyzer->isVisible()) return;

  TGroupAnalyzeForm& ga = *GroupAnalyzer;
  Set(ga.Label("ber"), ber);
  SetNumber(ga.Label("GroupCount"), static_cast<int>(S.GroupsTotal));
  for (int index = 0; index < stats::kGroupKinds; ++index)
    SetCellText(ga.grpGrid(), index % 16 + 1, index / 16 + 1,
                Text(stats::GroupCellText(S.GroupCount[index], S.GroupsTotal)));

  const int sel = ga.SelectedGroupIndex();
  if (sel >= 0) {
    Set(ga.Label("grpSelName"), stats::GroupName(sel));
    Set(ga.Label("insertTime"), "Last appear: " + stats::TimeOfDayText(S.LastTime[sel]));
    Set(ga.Label("pinsertTime"), "Previous appear: " + stats::TimeOfDayText(S.PrevTime[sel]));
    Set(ga.Label("deltaTime"), stats::IntervalText("Delta time: ", S.Interval[sel]));
    Set(ga.Label("maxTime"), stats::MaxTimeText(S.IntervalMax[sel]));
    Set(ga.Label("minTime"), stats::MinTimeText(S.IntervalMin[sel]));
    if (S.GroupCount[sel] > 0) Set(ga.Label("avgTime"), stats::AverageTimeText(S.IntervalSum[sel], S.GroupCount[sel]));
    const TRDSGroupRecord& g = S.LastGroup[sel];
    if (g.JustReceived)
      AppendBoundedLine(ga.Memo1(),
                        Text(stats::DataFlowLine(sel, g.Blocks[0], g.Blocks[1], g.Blocks[2], g.Blocks[3])),
                        TGroupAnalyzeForm::kMemoLines);
  }

  const uint32_t faults = S.ErrorBlocks[1] + S.ErrorBlocks[2] + S.ErrorBlocks[3];
  for (int c = 1; c <= 3; ++c) SetCellText(ga.errGrid(), 1, c - 1, Text(stats::ErrorCellText(S.ErrorBlocks[c], S.BlocksTotal)));
  Set(ga.Label("blockCount"), stats::BlockCountText(S.BlocksTotal));
  Set(ga.Label("errBlocks"), stats::FaultBlocksText(S.BlocksTotal > 0 ? faults : 0));
  Set(ga.Label("errPerc"), stats::ErrorCoverageText(faults, S.BlocksTotal));
}
