#include "controls/ToolCtrlsEx.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMessageBox>
#include <QPainter>
#include <QScrollBar>
#include <QStyle>
#include <QStyleOption>
#include <QTimer>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>
#include <qdrawutil.h>

#include "platform/Clock.h"
#include "platform/Format.h"

// ---------------------------------------------------------------------------
// Exceptions raised while handling input

namespace {
std::function<void(const std::exception&)>& ExceptionHandler() {
  static std::function<void(const std::exception&)> handler;
  return handler;
}
}  // namespace

void SetControlExceptionHandler(std::function<void(const std::exception&)> handler) {
  ExceptionHandler() = std::move(handler);
}

void ShowControlException(const std::exception& e) {
  if (ExceptionHandler()) {
    ExceptionHandler()(e);
    return;
  }
  QMessageBox::critical(QApplication::activeWindow(), QApplication::applicationDisplayName(),
                        QString::fromLatin1(e.what()));
}

// ---------------------------------------------------------------------------
// Geometry

std::vector<QRect> EllipsisDotRects(const QRect& face) {
  const int side = face.width() < 8 ? 1 : 2;
  const int gap = face.width() < 12 ? 1 : 2;
  const int total = 3 * side + 2 * gap;
  const int x0 = face.x() + (face.width() - total) / 2;
  const int y0 = face.y() + (face.height() - side) / 2;
  std::vector<QRect> dots;
  for (int i = 0; i < 3; ++i) dots.emplace_back(x0 + i * (side + gap), y0, side, side);
  return dots;
}

std::vector<QRect> PlusMinusBarRects(const QRect& face, bool plus) {
  const int length = std::max(1, std::min(face.width(), face.height()) * 4 / 7);
  const int thickness = std::max(1, length / 3);
  std::vector<QRect> bars;
  bars.emplace_back(face.x() + (face.width() - length) / 2, face.y() + (face.height() - thickness) / 2, length,
                    thickness);
  if (plus)
    bars.emplace_back(face.x() + (face.width() - thickness) / 2, face.y() + (face.height() - length) / 2, thickness,
                      length);
  return bars;
}

TUpDownHalves SplitUpDownFace(const QRect& face) {
  const int half = face.height() / 2;
  TUpDownHalves h;
  h.Upper = QRect(face.x(), face.y(), face.width(), half);
  h.Lower = QRect(face.x(), face.y() + face.height() - half, face.width(), half);
  if (face.height() % 2) h.Middle = QRect(face.x(), face.y() + half, face.width(), 1);
  return h;
}

int PressedHalfAt(TEditButtonStyleEx style, int y, int height) {
  if (style != ebsUpDownEx) return 1;
  if (y < height / 2) return 1;
  if (y > height - height / 2) return 2;
  return 0;
}

int FlatButtonWidthFor(int textHeight, int scrollBarWidth) {
  int w = static_cast<int>(std::nearbyint(textHeight * 2.0 / 3.0));
  if (w % 2 == 0) ++w;
  return std::min(w, scrollBarWidth);
}

namespace {
int ScrollBarExtent() { return QApplication::style()->pixelMetric(QStyle::PM_ScrollBarExtent); }
}  // namespace

int FlatButtonWidth() {
  static const int width = FlatButtonWidthFor(QFontMetrics(QApplication::font()).height(), ScrollBarExtent());
  return width;
}

QSize EditButtonSizeFor(int width, bool flat, int flatButtonWidth, int scrollBarWidth, int clientHeight) {
  const int w = width >= 1 ? width : (flat ? flatButtonWidth : scrollBarWidth);
  int h = clientHeight;
  const int limit = static_cast<int>(std::nearbyint(1.5 * w));
  if (h > limit) h = flat ? limit : w;
  return QSize(w, h);
}

// ---------------------------------------------------------------------------
// Repeat timer

namespace {
class TQtRepeatTimer final : public TRepeatTimer {
 public:
  TQtRepeatTimer() {
    QObject::connect(&timer_, &QTimer::timeout, [this] {
      if (OnTimer) OnTimer();
    });
  }
  void Start(int intervalMs) override { timer_.start(intervalMs); }
  void SetInterval(int intervalMs) override { timer_.setInterval(intervalMs); }
  int Interval() const override { return timer_.interval(); }
  void Stop() override { timer_.stop(); }
  bool IsActive() const override { return timer_.isActive(); }

 private:
  QTimer timer_;
};

TRepeatTimerFactory& RepeatTimerFactory() {
  static TRepeatTimerFactory factory;
  return factory;
}
}  // namespace

void SetRepeatTimerFactory(TRepeatTimerFactory factory) { RepeatTimerFactory() = std::move(factory); }

std::unique_ptr<TRepeatTimer> CreateRepeatTimer() {
  if (RepeatTimerFactory()) return RepeatTimerFactory()();
  return std::make_unique<TQtRepeatTimer>();
}

// ---------------------------------------------------------------------------
// Button descriptions

void TEditButtonEx::Change() {
  if (Changed) Changed();
}

void TEditButtonEx::SetDropdownMenu(QMenu* menu) {
  if (dropdownMenu_ == menu) return;
  dropdownMenu_ = menu;
  Change();
}

void TEditButtonEx::SetGlyph(const QPixmap& glyph) {
  glyph_ = glyph;
  Change();
}

void TEditButtonEx::SetHint(const QString& hint) {
  if (hint_ == hint) return;
  hint_ = hint;
  Change();
}

void TEditButtonEx::SetNumGlyphs(int n) {
  n = std::clamp(n, 1, 4);
  if (numGlyphs_ == n) return;
  numGlyphs_ = n;
  Change();
}

void TEditButtonEx::SetShortCut(const QKeySequence& key) {
  if (shortCut_ == key) return;
  shortCut_ = key;
  Change();
}

void TEditButtonEx::SetStyle(TEditButtonStyleEx style) {
  if (style_ == style) return;
  style_ = style;
  Change();
}

void TEditButtonEx::SetVisible(bool visible) {
  if (visible_ == visible) return;
  visible_ = visible;
  Change();
}

void TEditButtonEx::SetWidth(int width) {
  if (width_ == width) return;
  width_ = width;
  Change();
}

void TEditButtonEx::Assign(const TEditButtonEx& s) {
  dropdownMenu_ = s.dropdownMenu_;
  glyph_ = s.glyph_;
  hint_ = s.hint_;
  numGlyphs_ = s.numGlyphs_;
  shortCut_ = s.shortCut_;
  style_ = s.style_;
  visible_ = s.visible_;
  width_ = s.width_;
  OnClick = s.OnClick;
  OnDown = s.OnDown;
  Change();
}

TDropDownEditButtonEx::TDropDownEditButtonEx() { shortCut_ = QKeySequence(Qt::ALT | Qt::Key_Down); }

TVisibleEditButtonEx::TVisibleEditButtonEx() {
  shortCut_ = QKeySequence(Qt::ALT | Qt::Key_Down);
  visible_ = true;
}

void TEditButtonsEx::Change() {
  if (Changed) Changed();
}

TVisibleEditButtonEx* TEditButtonsEx::Add() {
  items_.push_back(std::make_unique<TVisibleEditButtonEx>());
  items_.back()->Changed = [this] { Change(); };
  Change();
  return items_.back().get();
}

TVisibleEditButtonEx* TEditButtonsEx::Items(int index) const {
  return index >= 0 && index < Count() ? items_[static_cast<size_t>(index)].get() : nullptr;
}

void TEditButtonsEx::Delete(int index) {
  if (index < 0 || index >= Count()) return;
  items_.erase(items_.begin() + index);
  Change();
}

void TEditButtonsEx::Clear() {
  items_.clear();
  Change();
}

void TEditButtonsEx::Assign(const TEditButtonsEx& source) {
  items_.clear();
  for (const auto& item : source.items_) {
    items_.push_back(std::make_unique<TVisibleEditButtonEx>());
    items_.back()->Assign(*item);
    items_.back()->Changed = [this] { Change(); };
  }
  Change();
}

// ---------------------------------------------------------------------------
// Faces

bool UseButtonsBitmapCache = true;

namespace {
void DrawBevel(QPainter& p, const QRect& r, const TButtonFaceKey& key, const QWidget* w) {
  const QPalette& pal = w ? w->palette() : QApplication::palette();
  if (key.Flat) {
    p.fillRect(r, pal.button());
    if (key.Active) {
      qDrawShadePanel(&p, r, pal, key.Pressed, 1);
    } else if (key.Style == ebsGlyphEx) {
      p.setPen(pal.window().color());
      p.drawRect(r.adjusted(0, 0, -1, -1));
    }
    return;
  }
  QStyleOptionButton opt;
  opt.rect = r;
  opt.palette = pal;
  opt.state = key.Enabled ? QStyle::State_Enabled : QStyle::State_None;
  opt.state |= key.Pressed ? QStyle::State_Sunken : QStyle::State_Raised;
  QStyle* style = w ? w->style() : QApplication::style();
  style->drawPrimitive(QStyle::PE_PanelButtonBevel, &opt, &p, w);
}

void DrawArrow(QPainter& p, const QRect& r, QStyle::PrimitiveElement arrow, const TButtonFaceKey& key,
               bool pressed, const QWidget* w) {
  QStyleOption opt;
  opt.rect = r.adjusted(2, 1, -2, -1);
  if (pressed) opt.rect.translate(1, 1);
  opt.palette = w ? w->palette() : QApplication::palette();
  opt.state = key.Enabled ? QStyle::State_Enabled : QStyle::State_None;
  QStyle* style = w ? w->style() : QApplication::style();
  style->drawPrimitive(arrow, &opt, &p, w);
}

void DrawMarks(QPainter& p, const std::vector<QRect>& marks, const TButtonFaceKey& key, const QWidget* w) {
  const QPalette& pal = w ? w->palette() : QApplication::palette();
  if (key.Enabled) {
    for (const QRect& m : marks) p.fillRect(m, pal.buttonText());
    return;
  }
  for (const QRect& m : marks) p.fillRect(m.translated(1, 1), pal.light());
  for (const QRect& m : marks) p.fillRect(m, pal.dark());
}
}  // namespace

void DrawButtonFace(QPainter& p, const QRect& rect, const TButtonFaceKey& key, const QWidget* w) {
  const QPalette& pal = w ? w->palette() : QApplication::palette();
  switch (key.Style) {
    case ebsUpDownEx: {
      const TUpDownHalves halves = SplitUpDownFace(rect);
      if (!halves.Middle.isEmpty()) p.fillRect(halves.Middle, pal.window());
      TButtonFaceKey upper = key, lower = key;
      upper.Pressed = key.Pressed && key.Direction == 1;
      lower.Pressed = key.Pressed && key.Direction == 2;
      DrawBevel(p, halves.Upper, upper, w);
      DrawArrow(p, halves.Upper, QStyle::PE_IndicatorArrowUp, key, upper.Pressed, w);
      DrawBevel(p, halves.Lower, lower, w);
      DrawArrow(p, halves.Lower, QStyle::PE_IndicatorArrowDown, key, lower.Pressed, w);
      break;
    }
    case ebsDropDownEx:
      DrawBevel(p, rect, key, w);
      DrawArrow(p, rect, QStyle::PE_IndicatorArrowDown, key, key.Pressed, w);
      break;
    case ebsEllipsisEx: {
      DrawBevel(p, rect, key, w);
      QRect face = rect;
      if (key.Pressed) face.translate(1, 1);
      DrawMarks(p, EllipsisDotRects(face), key, w);
      break;
    }
    case ebsPlusEx:
    case ebsMinusEx: {
      DrawBevel(p, rect, key, w);
      QRect face = rect;
      if (key.Pressed) face.translate(1, 1);
      DrawMarks(p, PlusMinusBarRects(face, key.Style == ebsPlusEx), key, w);
      break;
    }
    case ebsGlyphEx:
      DrawBevel(p, rect, key, w);
      break;
  }
}

TButtonsBitmapCache& TButtonsBitmapCache::Instance() {
  static TButtonsBitmapCache cache;
  return cache;
}

QPixmap TButtonsBitmapCache::Face(const TButtonFaceKey& key, const QWidget* widget) {
  for (const auto& e : entries_)
    if (e.Key == key) return e.Bitmap;
  QPixmap bitmap(std::max(1, key.Width), std::max(1, key.Height));
  bitmap.fill((widget ? widget->palette() : QApplication::palette()).button().color());
  {
    QPainter p(&bitmap);
    DrawButtonFace(p, QRect(0, 0, key.Width, key.Height), key, widget);
  }
  entries_.push_back({key, bitmap});
  return entries_.back().Bitmap;
}

// ---------------------------------------------------------------------------
// TEditButtonControlEx

TEditButtonControlEx::TEditButtonControlEx(QWidget* parent) : QWidget(parent) {
  resize(10, 17);
  setAttribute(Qt::WA_OpaquePaintEvent);
  setCursor(Qt::ArrowCursor);
  setFocusPolicy(Qt::NoFocus);
}

TEditButtonControlEx::~TEditButtonControlEx() = default;

void TEditButtonControlEx::SetStyle(TEditButtonStyleEx style) {
  if (style_ == style) return;
  style_ = style;
  update();
}

void TEditButtonControlEx::SetActive(bool active) {
  if (active_ == active) return;
  active_ = active;
  update();
}

void TEditButtonControlEx::SetFlat(bool flat) {
  if (flat_ == flat) return;
  flat_ = flat;
  update();
}

void TEditButtonControlEx::SetCaption(const QString& caption) {
  if (caption_ == caption) return;
  caption_ = caption;
  update();
}

void TEditButtonControlEx::SetGlyph(const QPixmap& glyph, int numGlyphs) {
  glyph_ = glyph;
  numGlyphs_ = std::clamp(numGlyphs, 1, 4);
  update();
}

void TEditButtonControlEx::SetAlwaysDown(bool down) {
  if (alwaysDown_ == down) return;
  alwaysDown_ = down;
  update();
}

void TEditButtonControlEx::ResetState() {
  StopRepeat();
  mouseDown_ = false;
  slidOff_ = false;
  pressedHalf_ = 0;
  update();
}

void TEditButtonControlEx::paintEvent(QPaintEvent*) {
  QPainter p(this);
  TButtonFaceKey key;
  key.Width = width();
  key.Height = height();
  key.Style = style_;
  key.Enabled = isEnabled();
  key.Pressed = IsDown();
  key.Active = active_;
  key.Flat = flat_;
  key.Direction = IsDown() ? (alwaysDown_ && pressedHalf_ == 0 ? 1 : pressedHalf_) : 0;
  key.DownButton = alwaysDown_;
  if (UseButtonsBitmapCache)
    p.drawPixmap(rect(), TButtonsBitmapCache::Instance().Face(key, this));
  else
    DrawButtonFace(p, rect(), key, this);
  if (style_ != ebsGlyphEx) return;

  // The glyph (its first part up, second disabled, third down) and caption.
  QRect content = rect().adjusted(2, 2, -2, -2);
  if (key.Pressed) content.translate(1, 1);
  if (!glyph_.isNull()) {
    const int partW = glyph_.width() / numGlyphs_;
    int part = 0;
    if (!isEnabled() && numGlyphs_ > 1)
      part = 1;
    else if (key.Pressed && numGlyphs_ > 2)
      part = 2;
    const QRect src(part * partW, 0, partW, glyph_.height());
    QRect dst(0, 0, partW, glyph_.height());
    dst.moveCenter(content.center());
    if (!caption_.isEmpty()) dst.moveLeft(content.left());
    p.drawPixmap(dst, glyph_, src);
    if (!caption_.isEmpty()) content.setLeft(dst.right() + 3);
  }
  if (!caption_.isEmpty()) {
    p.setPen(palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::ButtonText));
    p.setFont(font());
    p.drawText(content, Qt::AlignCenter | Qt::TextSingleLine, caption_);
  }
}

void TEditButtonControlEx::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) {
    QWidget::mousePressEvent(event);
    return;
  }
  pressedHalf_ = PressedHalfAt(style_, event->position().toPoint().y(), height());
  mouseDown_ = true;
  slidOff_ = false;
  noClick_ = false;
  update();
  if (pressedHalf_ != 0) FireDown();
}

void TEditButtonControlEx::FireDown() {
  bool autoRepeat = style_ == ebsUpDownEx;
  bool handled = false;
  QPointer<TEditButtonControlEx> self(this);
  if (OnDown) OnDown(this, pressedHalf_ == 1, autoRepeat, handled);
  if (!self || !autoRepeat || !mouseDown_) return;
  if (!timer_) {
    timer_ = CreateRepeatTimer();
    timer_->OnTimer = [this] { RepeatTick(); };
  }
  firstTick_ = true;
  timer_->Start(400);
}

void TEditButtonControlEx::RepeatTick() {
  if (!mouseDown_) {
    StopRepeat();
    return;
  }
  if (firstTick_) {
    firstTick_ = false;
    timer_->SetInterval(100);
  }
  if (slidOff_) return;
  bool autoRepeat = true;
  bool handled = false;
  QPointer<TEditButtonControlEx> self(this);
  if (OnDown) OnDown(this, pressedHalf_ == 1, autoRepeat, handled);
  if (self && !autoRepeat) StopRepeat();
}

void TEditButtonControlEx::StopRepeat() {
  if (timer_) timer_->Stop();
}

void TEditButtonControlEx::mouseMoveEvent(QMouseEvent* event) {
  if (!mouseDown_) return;
  const QPoint pos = event->position().toPoint();
  bool off = !rect().contains(pos);
  if (!off && style_ == ebsUpDownEx) off = PressedHalfAt(style_, pos.y(), height()) != pressedHalf_;
  if (off != slidOff_) {
    slidOff_ = off;
    if (off && style_ == ebsUpDownEx) noClick_ = true;
    update();
  }
}

void TEditButtonControlEx::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton || !mouseDown_) return;
  StopRepeat();
  const bool click = !slidOff_ && !noClick_ && rect().contains(event->position().toPoint()) && pressedHalf_ != 0;
  mouseDown_ = false;
  slidOff_ = false;
  update();
  if (click && OnClick) OnClick(this);
}

void TEditButtonControlEx::changeEvent(QEvent* event) {
  if (event->type() == QEvent::EnabledChange) {
    if (!isEnabled()) ResetState();
    update();
  }
  QWidget::changeEvent(event);
}

// ---------------------------------------------------------------------------
// TSizeGripEx

TSizeGripEx::TSizeGripEx(QWidget* parent) : QWidget(parent) {
  const int w = ScrollBarExtent();
  setFixedSize(w, w);
  setAutoFillBackground(true);
  setBackgroundRole(QPalette::Button);
  UpdateShape();
}

void TSizeGripEx::SetCorner(int corner) {
  corner = std::clamp(corner, 0, 3);
  if (corner_ == corner) return;
  corner_ = corner;
  UpdateShape();
  Reposition();
}

void TSizeGripEx::UpdateShape() {
  setCursor(corner_ == 0 || corner_ == 2 ? Qt::SizeFDiagCursor : Qt::SizeBDiagCursor);
  const int w = width(), h = height();
  QPolygon tri;
  switch (corner_) {
    case 0: tri << QPoint(0, 0) << QPoint(w, 0) << QPoint(0, h); break;
    case 1: tri << QPoint(0, 0) << QPoint(w, 0) << QPoint(w, h); break;
    case 3: tri << QPoint(0, 0) << QPoint(w, h) << QPoint(0, h); break;
    default: tri << QPoint(w, 0) << QPoint(w, h) << QPoint(0, h); break;
  }
  setMask(QRegion(tri));
  update();
}

void TSizeGripEx::Reposition() {
  QWidget* p = parentWidget();
  if (!p) return;
  const int pw = p->width(), ph = p->height();
  switch (corner_) {
    case 0: move(0, 0); break;
    case 1: move(pw - width(), 0); break;
    case 3: move(0, ph - height()); break;
    default: move(pw - width(), ph - height()); break;
  }
  raise();
}

void TSizeGripEx::paintEvent(QPaintEvent*) {
  QPainter p(this);
  QStyleOptionSizeGrip opt;
  opt.initFrom(this);
  static const Qt::Corner kCorners[] = {Qt::TopLeftCorner, Qt::TopRightCorner, Qt::BottomRightCorner,
                                        Qt::BottomLeftCorner};
  opt.corner = kCorners[corner_];
  style()->drawControl(QStyle::CE_SizeGrip, &opt, &p, this);
}

void TSizeGripEx::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return;
  dragging_ = true;
  pressGlobal_ = event->globalPosition().toPoint();
  startGeometry_ = window()->geometry();
}

void TSizeGripEx::mouseMoveEvent(QMouseEvent* event) {
  if (!dragging_) return;
  QWidget* top = window();
  const QPoint d = event->globalPosition().toPoint() - pressGlobal_;
  const QSize minSize = top->minimumSize().expandedTo(QSize(1, 1));
  QRect g = startGeometry_;
  const bool left = corner_ == 0 || corner_ == 3;
  const bool topEdge = corner_ == 0 || corner_ == 1;
  // The edges away from the grip stay where they are.
  if (left)
    g.setLeft(std::min(startGeometry_.left() + d.x(), startGeometry_.right() + 1 - minSize.width()));
  else
    g.setRight(std::max(startGeometry_.right() + d.x(), startGeometry_.left() + minSize.width() - 1));
  if (topEdge)
    g.setTop(std::min(startGeometry_.top() + d.y(), startGeometry_.bottom() + 1 - minSize.height()));
  else
    g.setBottom(std::max(startGeometry_.bottom() + d.y(), startGeometry_.top() + minSize.height() - 1));
  if (g == top->geometry()) return;
  top->setGeometry(g);
  Reposition();
  if (OnResize) OnResize();
}

void TSizeGripEx::mouseReleaseEvent(QMouseEvent*) { dragging_ = false; }

// ---------------------------------------------------------------------------
// Placement

TPopupPlacement PlacePopup(const QRect& edit, const QSize& popup, const QRect& workArea, TPopupAlignment align) {
  int w = popup.width(), h = popup.height();
  const int eLeft = edit.x(), eTop = edit.y(), eRight = edit.x() + edit.width(), eBottom = edit.y() + edit.height();
  const int aLeft = workArea.x(), aTop = workArea.y();
  const int aRight = workArea.x() + workArea.width(), aBottom = workArea.y() + workArea.height();
  int left = eLeft;
  if (align == paRight) left = eRight - w;
  if (align == paCenter) left = eLeft + (edit.width() - w) / 2;
  TPopupPlacement pl;
  pl.RightAligned = align == paRight;
  int top = eBottom;
  if (eBottom + h > aBottom) {
    if (eTop - h >= aTop) {
      pl.Above = true;
      top = eTop - h;
    } else {
      const int roomBelow = aBottom - eBottom, roomAbove = eTop - aTop;
      if (roomAbove > roomBelow) {
        pl.Above = true;
        h = roomAbove;
        top = aTop;
      } else {
        h = std::max(0, roomBelow);
      }
    }
  }
  if (w > workArea.width()) w = workArea.width();
  if (left + w > aRight) left = aRight - w;
  if (left < aLeft) left = aLeft;
  pl.Rect = QRect(left, top, w, h);
  return pl;
}

// ---------------------------------------------------------------------------
// TPopupListboxEx

TPopupListboxEx::TPopupListboxEx(QWidget* owner) : QListWidget(owner), owner_(owner) {
  // A window that is never activated: the edit keeps the focus and typing.
  setWindowFlags(Qt::ToolTip | Qt::FramelessWindowHint | Qt::WindowDoesNotAcceptFocus);
  setAttribute(Qt::WA_ShowWithoutActivating);
  setFocusPolicy(Qt::NoFocus);
  setMouseTracking(true);
  setUniformItemSizes(true);
  setSelectionMode(QAbstractItemView::SingleSelection);
  const int sb = ScrollBarExtent();
  setMinimumSize(sb, sb);
}

TPopupListboxEx::~TPopupListboxEx() {
  if (open_) qApp->removeEventFilter(this);
}

int TPopupListboxEx::ItemHeight() const {
  const int h = count() > 0 ? sizeHintForRow(0) : -1;
  return h > 0 ? h : fontMetrics().height() + 2;
}

int TPopupListboxEx::FrameHeight() const { return 2 * frameWidth(); }

void TPopupListboxEx::Popup(const QRect& screenRect) {
  setGeometry(screenRect);
  if (!open_) {
    open_ = true;
    qApp->installEventFilter(this);
  }
  show();
  raise();
}

void TPopupListboxEx::CloseUp(bool accept) {
  if (!open_) return;
  open_ = false;
  qApp->removeEventFilter(this);
  hide();
  searchText_.clear();
  if (OnCloseUp) OnCloseUp(accept);
}

bool TPopupListboxEx::eventFilter(QObject* watched, QEvent* event) {
  if (open_ && event->type() == QEvent::MouseButtonPress) {
    auto* me = static_cast<QMouseEvent*>(event);
    if (!frameGeometry().contains(me->globalPosition().toPoint())) CloseUp(false);
  } else if (open_ && event->type() == QEvent::ApplicationDeactivate) {
    CloseUp(false);
  }
  return QListWidget::eventFilter(watched, event);
}

void TPopupListboxEx::SearchKey(QChar c) {
  if (c.unicode() < 32 || c.unicode() == 127) {
    searchText_.clear();
    return;
  }
  IClock& clock = clock_ ? *clock_ : SystemClock();
  const int64_t now = clock.SteadyMs();
  if (now - lastKeyMs_ >= 2000) searchText_.clear();
  lastKeyMs_ = now;
  if (searchText_.size() < 32) searchText_ += c;
  for (int i = 0; i < count(); ++i) {
    if (item(i)->text().startsWith(searchText_, Qt::CaseInsensitive)) {
      setCurrentRow(i);
      break;
    }
  }
}

void TPopupListboxEx::keyPressEvent(QKeyEvent* event) {
  switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter: CloseUp(true); return;
    case Qt::Key_Escape: CloseUp(false); return;
    case Qt::Key_Up:
    case Qt::Key_Down:
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
    case Qt::Key_Home:
    case Qt::Key_End: QListWidget::keyPressEvent(event); return;
    default: break;
  }
  if (!event->text().isEmpty()) {
    for (QChar c : event->text()) SearchKey(c);
    event->accept();
    return;
  }
  QListWidget::keyPressEvent(event);
}

void TPopupListboxEx::mouseMoveEvent(QMouseEvent* event) {
  if (event->buttons() == Qt::NoButton) {
    if (QListWidgetItem* it = itemAt(event->position().toPoint())) setCurrentItem(it);
  }
  QListWidget::mouseMoveEvent(event);
}

void TPopupListboxEx::mouseReleaseEvent(QMouseEvent* event) {
  const QPoint pos = event->position().toPoint();
  if (QListWidgetItem* it = viewport()->rect().contains(pos) ? itemAt(pos) : nullptr) {
    setCurrentItem(it);
    CloseUp(true);
    return;
  }
  if (!rect().contains(pos)) {
    CloseUp(false);
    return;
  }
  QListWidget::mouseReleaseEvent(event);
}

void TPopupListboxEx::wheelEvent(QWheelEvent* event) {
  const int dy = event->angleDelta().y();
  if (dy != 0 && count() > 0) setCurrentRow(std::clamp(currentRow() + (dy > 0 ? -1 : 1), 0, count() - 1));
  event->accept();
}

// ---------------------------------------------------------------------------
// TMRUListboxEx

TMRUListboxEx::TMRUListboxEx(QWidget* owner) : TPopupListboxEx(owner) {
  setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  scrollBar_ = new QScrollBar(Qt::Vertical, this);
  QScrollBar* inner = verticalScrollBar();
  connect(inner, &QScrollBar::rangeChanged, scrollBar_, [this](int lo, int hi) {
    scrollBar_->setRange(lo, hi);
    scrollBar_->setPageStep(verticalScrollBar()->pageStep());
  });
  connect(inner, &QScrollBar::valueChanged, scrollBar_, &QScrollBar::setValue);
  connect(scrollBar_, &QScrollBar::valueChanged, inner, &QScrollBar::setValue);
  setViewportMargins(0, 0, ScrollBarExtent(), 0);
  grip_ = new TSizeGripEx(this);
  grip_->OnResize = [this] {
    LayoutScrollBar();
    if (OnUserResize) OnUserResize();
  };
}

void TMRUListboxEx::SetGripCorner(int corner) {
  grip_->SetCorner(corner);
  LayoutScrollBar();
}

int TMRUListboxEx::VisibleRows() const { return std::max(1, (height() - FrameHeight()) / ItemHeight()); }

void TMRUListboxEx::LayoutScrollBar() {
  const int f = frameWidth(), sb = ScrollBarExtent();
  int top = f, bottom = height() - f;
  const int corner = grip_->Corner();
  if (corner == 1) top = grip_->height();
  if (corner == 2) bottom = height() - grip_->height();
  scrollBar_->setGeometry(width() - f - sb, top, sb, std::max(0, bottom - top));
  grip_->Reposition();
}

void TMRUListboxEx::resizeEvent(QResizeEvent* event) {
  TPopupListboxEx::resizeEvent(event);
  LayoutScrollBar();
}

// ---------------------------------------------------------------------------
// TMRUListEx

std::string AnsiLowerCase(const std::string& s) {
  std::string out = s;
  for (char& ch : out) {
    const auto c = static_cast<unsigned char>(ch);
    if ((c >= 'A' && c <= 'Z') || (c >= 0xC0 && c <= 0xDE && c != 0xD7)) ch = static_cast<char>(c + 32);
  }
  return out;
}

void TMRUListEx::SetActive(bool v) {
  if (active_ == v) return;
  active_ = v;
  if (OnActiveChange) OnActiveChange();
}

void TMRUListEx::SetItems(const std::vector<std::string>& items) {
  items_ = items;
  Trim();
}

void TMRUListEx::SetLimit(int limit) {
  limit_ = std::max(0, limit);
  Trim();
}

void TMRUListEx::Trim() {
  const size_t limit = static_cast<size_t>(limit_);
  if (items_.size() > limit) items_.erase(items_.begin(), items_.end() - static_cast<std::ptrdiff_t>(limit));
}

bool TMRUListEx::SameText(const std::string& a, const std::string& b) const {
  return caseSensitive_ ? a == b : AnsiLowerCase(a) == AnsiLowerCase(b);
}

void TMRUListEx::Add(const std::string& text) {
  const std::string t = ::Trim(text);
  if (t.empty()) return;
  for (auto it = items_.begin(); it != items_.end(); ++it) {
    if (SameText(*it, t)) {
      std::string found = *it;
      items_.erase(it);
      items_.push_back(found);
      return;
    }
  }
  items_.push_back(t);
  Trim();
}

std::vector<std::string> TMRUListEx::Filter(const std::string& text) const {
  std::vector<std::string> out;
  for (const auto& item : items_)
    if (item.size() >= text.size() && SameText(item.substr(0, text.size()), text)) out.push_back(item);
  std::sort(out.begin(), out.end(), [this](const std::string& a, const std::string& b) {
    return caseSensitive_ ? a < b : AnsiLowerCase(a) < AnsiLowerCase(b);
  });
  return out;
}

void TMRUListEx::Assign(const TMRUListEx& s) {
  autoAdd_ = s.autoAdd_;
  caseSensitive_ = s.caseSensitive_;
  items_ = s.items_;
  limit_ = s.limit_;
  rows_ = s.rows_;
  width_ = s.width_;
  SetActive(s.active_);
}
