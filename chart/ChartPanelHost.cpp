#include "chart/ChartPanelHost.h"

#include <QMetaObject>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QPainterPath>
#include <QRegion>

#include "chart/ChartPanel.h"
#include "chart/ChartProcs.h"

namespace {

TMouseButton Button(Qt::MouseButton b) {
  return b == Qt::RightButton ? mbRight : b == Qt::MiddleButton ? mbMiddle : mbLeft;
}

TShiftState Shift(const QMouseEvent* e) {
  TShiftState s = 0;
  const Qt::KeyboardModifiers m = e->modifiers();
  if (m & Qt::ShiftModifier) s |= ssShift;
  if (m & Qt::AltModifier) s |= ssAlt;
  if (m & Qt::ControlModifier) s |= ssCtrl;
  if (e->buttons() & Qt::LeftButton) s |= ssLeft;
  if (e->buttons() & Qt::RightButton) s |= ssRight;
  if (e->buttons() & Qt::MiddleButton) s |= ssMiddle;
  return s;
}

QCursor CursorOf(TCursor c) { return QCursor(c == crChartHand ? ChartCursor(c) : Qt::CursorShape(c)); }

}  // namespace

TChartPanelHost::TChartPanelHost(TCustomChartPanel& panel, QWidget* parent) : QWidget(parent), panel_(panel) {
  // The chart paints every pixel, unless it has no colour: then the window is see-through.
  if (panel_.Color() == clNone) setAttribute(Qt::WA_TranslucentBackground);
  else setAttribute(Qt::WA_OpaquePaintEvent);
  setMouseTracking(true);
  panel_.HasWindowParent = true;
  panel_.OnInvalidate = [this] {
    ApplyRegion();  // BorderRound may have changed
    RequestFrame();
  };
  panel_.OnUpdateRect = [this](const TRect& r) { update(r.Left, r.Top, r.Width(), r.Height()); };
  panel_.OnGetCursorPos = [this] {
    const QPoint p = mapFromGlobal(QCursor::pos());
    return TPoint{p.x(), p.y()};
  };
  panel_.Loaded();
  resize(panel_.Width(), panel_.Height());
  setCursor(CursorOf(panel_.Cursor));
}

TChartPanelHost::~TChartPanelHost() {
  panel_.OnInvalidate = nullptr;
  panel_.OnUpdateRect = nullptr;
  panel_.OnGetCursorPos = nullptr;
  panel_.HasWindowParent = false;
}

void TChartPanelHost::RequestFrame() {
  if (framePending_) return;
  framePending_ = true;
  QMetaObject::invokeMethod(this, [this] { ShowFrame(); }, Qt::QueuedConnection);
}

void TChartPanelHost::ShowFrame() {
  framePending_ = false;
  // A hidden window is drawn when it is shown, all of it.
  if (!isVisible()) return;
  if (panel_.Canvas().BufferStale()) panel_.Paint();
  // Painted now: the frame was asked for on an earlier turn of the loop.
  std::vector<QRect> changes;
  if (!panel_.TakeShownChanges(changes)) return repaint();
  QRegion region;
  for (const QRect& r : changes) region += r;
  if (!region.isEmpty()) repaint(region);
}

void TChartPanelHost::paintEvent(QPaintEvent* event) {
  // A still valid window (a zoom rectangle drawn on it included) is shown as
  // it is; a new frame drawn for another reason shows the rest of its
  // changes on the next turn.
  if (panel_.Canvas().BufferStale()) {
    panel_.Paint();
    RequestFrame();
  }
  const QImage& image = panel_.ShownImage();
  QPainter painter(this);
  for (const QRect& r : event->region()) painter.drawImage(r.topLeft(), image, r);
}

void TChartPanelHost::resizeEvent(QResizeEvent*) {
  panel_.SetBounds(width(), height());
  ApplyRegion();
}

void TChartPanelHost::ApplyRegion() {
  const int round = panel_.BorderRound();
  if (round < 1) {
    clearMask();
    return;
  }
  if (width() == 0 || height() == 0) return;
  QPainterPath path;
  path.addRoundedRect(QRectF(0, 0, width(), height()), round / 2.0, round / 2.0);
  setMask(QRegion(path.toFillPolygon().toPolygon()));
}

void TChartPanelHost::mousePressEvent(QMouseEvent* e) {
  panel_.MouseDown(Button(e->button()), Shift(e), int(e->position().x()), int(e->position().y()));
}

void TChartPanelHost::mouseReleaseEvent(QMouseEvent* e) {
  panel_.MouseUp(Button(e->button()), Shift(e), int(e->position().x()), int(e->position().y()));
}

void TChartPanelHost::mouseMoveEvent(QMouseEvent* e) {
  panel_.MouseMove(Shift(e), int(e->position().x()), int(e->position().y()));
  setCursor(CursorOf(panel_.Cursor));  // a tool may have changed it
}

void TChartPanelHost::mouseDoubleClickEvent(QMouseEvent* e) {
  if (!panel_.DblClick()) e->accept();
}

void TChartPanelHost::leaveEvent(QEvent*) { setCursor(CursorOf(panel_.MouseLeave())); }
