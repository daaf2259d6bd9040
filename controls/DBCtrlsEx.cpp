#include "controls/DBCtrlsEx.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QMimeData>
#include <QPainter>
#include <QScreen>
#include <QStyle>
#include <QWheelEvent>
#include <algorithm>
#include <climits>
#include <cmath>
#include <qdrawutil.h>

#include "platform/ExLibVCL.h"

namespace {

// Posted when a popup closes; a press of the same button that arrives before
// it is the click that closed the popup and must not open it again.
const QEvent::Type kCloseUpMarker = static_cast<QEvent::Type>(QEvent::registerEventType());

class TCloseUpMarkerEvent : public QEvent {
 public:
  explicit TCloseUpMarkerEvent(TEditButtonControlEx* control) : QEvent(kCloseUpMarker), Control(control) {}
  TEditButtonControlEx* Control;
};

bool IsPrintableText(const QString& t) {
  if (t.isEmpty()) return false;
  for (QChar c : t)
    if (c.unicode() < 32 || c.unicode() == 127) return false;
  return true;
}

std::string ToLatin1(const QString& s) { return s.toLatin1().toStdString(); }
QString FromLatin1(const std::string& s) { return QString::fromLatin1(s.data(), static_cast<qsizetype>(s.size())); }

QRect WorkAreaOf(const QWidget* w) {
  const QScreen* screen = w->screen() ? w->screen() : QGuiApplication::primaryScreen();
  return screen ? screen->availableGeometry() : QRect(0, 0, 1024, 768);
}

}  // namespace

// ---------------------------------------------------------------------------
// TFieldDataLinkEx

bool TFieldDataLinkEx::Edit() {
  if (!editing_) {
    editing_ = true;
    if (OnEditingChange) OnEditingChange();
  }
  return true;
}

void TFieldDataLinkEx::Reset() {
  modified_ = false;
  if (OnDataChange) OnDataChange();
}

int AutoEditHeight(int FontHeight, int ImageHeight, bool UseImageHeight, bool Ctl3D, bool Flat) {
  // The system's border height, in pixels.
  constexpr int kBorderHeight = 1;
  const int content = UseImageHeight && ImageHeight > FontHeight ? ImageHeight : FontHeight;
  return content + kBorderHeight * ((Ctl3D ? 8 : 6) - (Flat ? 2 : 0));
}

// ---------------------------------------------------------------------------
// TEditImageEx

void TEditImageEx::Change() {
  if (Changed) Changed();
}

void TEditImageEx::SetImages(const QList<QPixmap>& images) {
  images_ = images;
  Change();
}

void TEditImageEx::SetImageIndex(int index) {
  if (imageIndex_ == index) return;
  imageIndex_ = index;
  Change();
}

void TEditImageEx::SetVisible(bool visible) {
  if (visible_ == visible) return;
  visible_ = visible;
  Change();
}

void TEditImageEx::SetWidth(int width) {
  if (width_ == width) return;
  width_ = width;
  Change();
}

void TEditImageEx::SetUseImageHeight(bool v) {
  if (useImageHeight_ == v) return;
  useImageHeight_ = v;
  Change();
}

int TEditImageEx::AreaWidth() const {
  if (!visible_ || images_.isEmpty()) return 0;
  return (width_ > 0 ? width_ : images_.first().width()) + 4;
}

// ---------------------------------------------------------------------------
// The image inside the left edge: presses on it do not reach the text.

class TCustomDBEditEx::TImageArea : public QWidget {
 public:
  TImageArea(TCustomDBEditEx* edit) : QWidget(edit), edit_(edit) {
    setCursor(Qt::ArrowCursor);
    hide();
  }

 protected:
  void paintEvent(QPaintEvent*) override {
    const TEditImageEx& image = edit_->EditImage();
    const int index = image.ImageIndex();
    if (index < 0 || index >= image.Images().size()) return;
    const QPixmap& pm = image.Images()[index];
    QPainter p(this);
    QRect target(0, 0, std::min(pm.width(), width() - 4), std::min(pm.height(), height()));
    target.moveCenter(rect().center());
    target.moveLeft(2);
    p.drawPixmap(target, pm);
  }
  void mousePressEvent(QMouseEvent* e) override { e->accept(); }
  void mouseReleaseEvent(QMouseEvent* e) override { e->accept(); }

 private:
  TCustomDBEditEx* edit_;
};

// ---------------------------------------------------------------------------
// TCustomDBEditEx

TCustomDBEditEx::TCustomDBEditEx(QWidget* parent) : TCustomDBEditEx(parent, std::make_unique<TEditButtonEx>()) {}

TCustomDBEditEx::TCustomDBEditEx(QWidget* parent, std::unique_ptr<TEditButtonEx> editButton)
    : QLineEdit(parent), editButton_(std::move(editButton)) {
  Construct();
}

TCustomDBEditEx::~TCustomDBEditEx() {
  if (mruListbox_) mruListbox_->OnCloseUp = nullptr;
  disconnect(this, nullptr, this, nullptr);
}

void TCustomDBEditEx::Construct() {
  connect(this, &QLineEdit::textChanged, this, [this] { TextChangedSlot(); });
  dataLink_.OnDataChange = [this] { DataChanged(); };
  editButton_->Changed = [this] {
    SyncButtonControls();
    LayoutButtons();
  };
  editButtons_.Changed = editButton_->Changed;
  image_.Changed = [this] {
    UpdateImageIndex();
    ApplyAutoHeight();
    LayoutButtons();
    update();
  };
  mruList_.OnActiveChange = [this] {
    if (!mruList_.Active()) CloseMRU(false);
  };
  imageArea_ = new TImageArea(this);
  ApplyAutoHeight();
  SyncButtonControls();
  LayoutButtons();
  UpdateImageIndex();
}

TEditButtonControlEx* TCustomDBEditEx::ButtonControl(int index) const {
  return index >= 0 && index < ButtonControlCount() ? slots_[static_cast<size_t>(index)].Control : nullptr;
}

TEditButtonEx* TCustomDBEditEx::ItemOf(TEditButtonControlEx* control) const {
  for (const auto& s : slots_)
    if (s.Control == control) return s.Item;
  return nullptr;
}

void TCustomDBEditEx::SyncButtonControls() {
  auto make = [this] {
    auto* c = new TEditButtonControlEx(this);
    c->hide();
    c->OnDown = [this](QObject* sender, bool top, bool& autoRepeat, bool& handled) {
      auto* control = static_cast<TEditButtonControlEx*>(sender);
      EditButtonDown(ItemOf(control), control, top, autoRepeat, handled);
    };
    c->OnClick = [this](TEditButtonControlEx* control) { EditButtonClick(ItemOf(control), control); };
    return c;
  };
  if (slots_.empty()) slots_.push_back({editButton_.get(), make(), -1});
  const size_t wanted = 1 + static_cast<size_t>(editButtons_.Count());
  while (slots_.size() > wanted) {
    slots_.back().Control->hide();
    slots_.back().Control->deleteLater();
    slots_.pop_back();
  }
  while (slots_.size() < wanted) slots_.push_back({nullptr, make(), -1});
  for (size_t i = 1; i < slots_.size(); ++i) slots_[i].Item = editButtons_.Items(static_cast<int>(i - 1));
}

void TCustomDBEditEx::LayoutButtons() {
  const int fw = flat_ ? 2 : style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, this);
  const QRect inner = rect().adjusted(fw, fw, -fw, -fw);
  const int sb = style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, this);
  int x = inner.right() + 1;
  for (auto& s : slots_) {
    s.SeparatorX = -1;
    TEditButtonControlEx* c = s.Control;
    TEditButtonEx* item = s.Item;
    if (!item) {
      c->hide();
      continue;
    }
    c->SetStyle(item->Style());
    c->SetGlyph(item->Glyph(), item->NumGlyphs());
    c->setToolTip(item->Hint());
    c->SetFlat(flat_);
    c->SetActive(!flat_ || borderActive_);
    if (!item->Visible()) {
      c->hide();
      continue;
    }
    const QSize size = EditButtonSizeFor(item->Width(), flat_, FlatButtonWidth(), sb, inner.height());
    x -= size.width();
    c->setGeometry(x, inner.top(), size.width(), size.height());
    c->show();
    if (flat_) s.SeparatorX = --x;
  }
  buttonsWidth_ = inner.right() + 1 - x;
  const int imageWidth = image_.AreaWidth();
  imageArea_->setGeometry(inner.left(), inner.top(), imageWidth, inner.height());
  imageArea_->setVisible(imageWidth > 0);
  const int pad = flat_ ? 2 : 0;
  setTextMargins(imageWidth + pad, pad, buttonsWidth_ + pad, pad);
  update();
}

QRect TCustomDBEditEx::EditRect() const {
  const int fw = flat_ ? 2 : style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, this);
  return rect().adjusted(fw + image_.AreaWidth(), fw, -fw - buttonsWidth_, -fw);
}

void TCustomDBEditEx::UpdateBorderActive() {
  const bool active = focused_ || mouseInside_ || alwaysShowBorder_;
  if (active == borderActive_) return;
  borderActive_ = active;
  if (flat_) LayoutButtons();
}

void TCustomDBEditEx::SetAlwaysShowBorder(bool v) {
  if (alwaysShowBorder_ == v) return;
  alwaysShowBorder_ = v;
  UpdateBorderActive();
  update();
}

void TCustomDBEditEx::SetFlat(bool v) {
  if (flat_ == v) return;
  flat_ = v;
  setFrame(!v);
  ApplyAutoHeight();
  LayoutButtons();
}

int TCustomDBEditEx::AutoHeight() const {
  const int imageHeight = image_.Images().isEmpty() ? 0 : image_.Images().first().height();
  return AutoEditHeight(fontMetrics().height(), imageHeight, image_.UseImageHeight(), ctl3D_, flat_);
}

void TCustomDBEditEx::ApplyAutoHeight() {
  if (autoSize_) {
    setFixedHeight(AutoHeight());
    heightFixed_ = true;
  } else if (heightFixed_) {
    setMinimumHeight(0);
    setMaximumHeight(QWIDGETSIZE_MAX);
    heightFixed_ = false;
  }
}

void TCustomDBEditEx::SetAutoSize(bool v) {
  if (autoSize_ == v) return;
  autoSize_ = v;
  ApplyAutoHeight();
}

void TCustomDBEditEx::SetCtl3D(bool v) {
  if (ctl3D_ == v) return;
  ctl3D_ = v;
  ApplyAutoHeight();
}

void TCustomDBEditEx::SetReadOnly(bool v) {
  if (isReadOnly() == v) return;
  setReadOnly(v);
  update();
}

void TCustomDBEditEx::SetAlignment(Qt::Alignment a) {
  if (alignment() != a) setAlignment(a);
}

void TCustomDBEditEx::SetPasswordChar(char c) {
  if (passwordChar_ == c) return;
  passwordChar_ = c;
  setEchoMode(c ? QLineEdit::Password : QLineEdit::Normal);
}

bool TCustomDBEditEx::EditCanModify() const { return isEnabled() && dataLink_.CanModify(); }

void TCustomDBEditEx::WriteText(const QString& text) {
  const bool saved = writingText_;
  writingText_ = true;
  setText(text);
  writingText_ = saved;
}

QString TCustomDBEditEx::TextWithSelectionReplaced(const QString& insert) const {
  const QString t = text();
  const int start = hasSelectedText() ? selectionStart() : cursorPosition();
  const int length = hasSelectedText() ? static_cast<int>(selectedText().size()) : 0;
  return t.left(start) + insert + t.mid(start + length);
}

void TCustomDBEditEx::PasteChecked() {
  if (isReadOnly()) return;
  const QString clip = QApplication::clipboard()->text();
  if (clip.isEmpty()) return;
  // A pasted text passes the same test as typed characters, on the text it
  // would leave in the box; one that fails changes nothing.
  if (!IsValidText(TextWithSelectionReplaced(clip))) return;
  dataLink_.Edit();
  insert(clip);
}

void TCustomDBEditEx::UpdateImageIndex() {
  int index = -1;
  if (image_.Visible() && !image_.Images().isEmpty()) {
    index = ValueImageIndex();
    if (OnGetImageIndex) OnGetImageIndex(this, index);
  }
  if (index != image_.ImageIndex()) {
    image_.StoreImageIndex(index);
    if (imageArea_) imageArea_->update();
  }
}

void TCustomDBEditEx::PostCloseUpMarker(TEditButtonControlEx* control) {
  pendingMarker_ = control;
  QCoreApplication::postEvent(this, new TCloseUpMarkerEvent(control));
}

// --- buttons

void TCustomDBEditEx::EditButtonDown(TEditButtonEx* button, TEditButtonControlEx* control, bool top,
                                     bool& autoRepeat, bool& handled) {
  if (control && control == pendingMarker_) {
    pendingMarker_ = nullptr;
    autoRepeat = false;
    handled = true;
    control->ResetState();
    return;
  }
  QPointer<TCustomDBEditEx> self(this);
  if (!hasFocus()) setFocus(Qt::MouseFocusReason);
  if (OnButtonDown) OnButtonDown(this, top, autoRepeat, handled);
  if (!self) return;
  if (!handled && button && button->OnDown) button->OnDown(this, top, autoRepeat, handled);
  if (!self || handled || !button) return;
  EditButtonPress(button, control, top, autoRepeat);
}

void TCustomDBEditEx::EditButtonPress(TEditButtonEx* button, TEditButtonControlEx* control, bool, bool& autoRepeat) {
  autoRepeat = false;
  if (QMenu* menu = button->DropdownMenu()) {
    const QWidget* anchor = control ? static_cast<QWidget*>(control) : this;
    if (control) control->ResetState();
    menu->popup(anchor->mapToGlobal(QPoint(0, anchor->height())));
    return;
  }
  if (IsDroppedDown())
    CloseUp(false);
  else
    DropDown();
}

void TCustomDBEditEx::EditButtonClick(TEditButtonEx* button, TEditButtonControlEx*) {
  bool handled = false;
  QPointer<TCustomDBEditEx> self(this);
  if (OnButtonClick) OnButtonClick(this, handled);
  if (self && !handled && button && button->OnClick) button->OnClick(this, handled);
}

void TCustomDBEditEx::DropDown() {
  // A plain box drops down its MRU list, when it has one.
  if (!mruList_.Active()) return;
  UpdateMRU(true);
}

void TCustomDBEditEx::CloseUp(bool accept) { CloseMRU(accept); }

// --- MRU list

void TCustomDBEditEx::UpdateMRU(bool force) {
  const QString t = text();
  if (!force && t == lastMruText_) return;
  lastMruText_ = t;
  const std::vector<std::string> items = mruList_.Filter(ToLatin1(t));
  if (items.empty()) {
    CloseMRU(false);
    return;
  }
  if (!mruListbox_) {
    mruListbox_ = new TMRUListboxEx(this);
    mruListbox_->OnUserResize = [this] { mruUserResized_ = true; };
    mruListbox_->OnCloseUp = [this](bool accept) {
      mruOpen_ = false;
      if (mruUserResized_) {
        mruList_.SetRows(mruListbox_->VisibleRows());
        mruList_.SetWidth(mruListbox_->width());
        mruUserResized_ = false;
      }
      QListWidgetItem* item = mruListbox_->currentItem();
      if (accept && item && !isReadOnly()) {
        dataLink_.Edit();
        lastMruText_ = item->text();
        setText(item->text());
      }
    };
  }
  mruListbox_->clear();
  for (const auto& s : items) mruListbox_->addItem(FromLatin1(s));
  mruListbox_->setFont(font());
  QPalette pal = mruListbox_->palette();
  pal.setColor(QPalette::Base, palette().color(QPalette::Base));
  mruListbox_->setPalette(pal);
  const int rows = std::clamp(static_cast<int>(items.size()), 1, std::max(1, mruList_.Rows()));
  const QSize size(mruList_.Width() > 0 ? mruList_.Width() : width(),
                   mruListbox_->ItemHeight() * rows + mruListbox_->FrameHeight());
  const TPopupPlacement pl = PlacePopup(QRect(mapToGlobal(QPoint(0, 0)), this->size()), size, WorkAreaOf(this), paLeft);
  mruListbox_->SetGripCorner(pl.GripCorner());
  mruOpen_ = true;
  mruListbox_->Popup(pl.Rect);
}

void TCustomDBEditEx::CloseMRU(bool accept) {
  if (mruListbox_ && mruOpen_) mruListbox_->CloseUp(accept);
  mruOpen_ = false;
}

// --- text changes

void TCustomDBEditEx::TextChangedSlot() { Change(); }

void TCustomDBEditEx::Change() {
  if (!writingText_) {
    if (!isReadOnly()) dataLink_.Edit();
    dataLink_.SetModified();
    if (mruList_.Active() && focused_ && !droppedDown_) UpdateMRU();
  }
  UpdateImageIndex();
  if (OnChange) OnChange(this);
}

void TCustomDBEditEx::UpdateData() {
  bool handled = false;
  if (OnUpdateData) OnUpdateData(this, handled);
  dataLink_.UpdateRecord();
  if (mruList_.Active() && mruList_.AutoAdd() && !text().isEmpty()) mruList_.Add(ToLatin1(text()));
}

void TCustomDBEditEx::SetFocused(bool focused) {
  focused_ = focused;
  UpdateBorderActive();
  update();
}

// --- events

bool TCustomDBEditEx::event(QEvent* e) {
  // A form's layout may have set the box's limits since it was built; the
  // automatic height holds from the first show on.
  if (e->type() == QEvent::Polish) ApplyAutoHeight();
  if (e->type() == kCloseUpMarker) {
    if (static_cast<TCloseUpMarkerEvent*>(e)->Control == pendingMarker_) pendingMarker_ = nullptr;
    return true;
  }
  if (e->type() == QEvent::KeyPress && wantTabs_) {
    auto* ke = static_cast<QKeyEvent*>(e);
    if ((ke->key() == Qt::Key_Tab || ke->key() == Qt::Key_Backtab) &&
        !(ke->modifiers() & (Qt::ControlModifier | Qt::AltModifier))) {
      ke->accept();
      return true;
    }
  }
  if (e->type() == QEvent::ShortcutOverride) {
    // Esc belongs to the box while its text is modified or a popup is open.
    auto* ke = static_cast<QKeyEvent*>(e);
    if (ke->key() == Qt::Key_Escape && (dataLink_.Modified() || IsDroppedDown())) {
      ke->accept();
      return true;
    }
  }
  return QLineEdit::event(e);
}

bool TCustomDBEditEx::BaseKeyDown(QKeyEvent* e) {
  int key = e->key();
  if (OnKeyDown) {
    QPointer<TCustomDBEditEx> self(this);
    OnKeyDown(this, key, e->modifiers());
    if (!self) return true;
    if (key == 0) {
      e->accept();
      return true;
    }
  }
  // A button's shortcut presses it, visible or not.
  const QKeySequence pressed(e->keyCombination());
  for (size_t i = 0; i < slots_.size(); ++i) {
    TEditButtonEx* item = slots_[i].Item;
    if (!item || item->ShortCut().isEmpty() || item->ShortCut() != pressed) continue;
    // No control: a key press is never the click that closed a popup.
    bool autoRepeat = false, handled = false;
    QPointer<TCustomDBEditEx> self(this);
    EditButtonDown(item, nullptr, false, autoRepeat, handled);
    if (self) EditButtonClick(item, nullptr);
    e->accept();
    return true;
  }
  if (e->matches(QKeySequence::SelectAll)) {
    selectAll();
    e->accept();
    return true;
  }
  if (e->matches(QKeySequence::Paste)) {
    PasteChecked();
    e->accept();
    return true;
  }
  if (key == Qt::Key_Delete && !isReadOnly()) dataLink_.Edit();
  if (key == Qt::Key_Escape) {
    if (mruOpen_) {
      CloseMRU(false);
      e->accept();
    } else if (dataLink_.Modified()) {
      dataLink_.Reset();
      selectAll();
      e->accept();
    } else {
      e->ignore();  // the dialog's cancel button
    }
    return true;
  }
  if (key == Qt::Key_Return || key == Qt::Key_Enter) {
    if (mruOpen_) {
      CloseMRU(true);
      e->accept();
    } else if (wantReturns_) {
      e->accept();
    } else {
      QLineEdit::keyPressEvent(e);
      e->ignore();  // the dialog's default button
    }
    return true;
  }
  if (!isReadOnly() && (key == Qt::Key_Backspace || e->matches(QKeySequence::Cut) || IsPrintableText(e->text())))
    dataLink_.Edit();
  return false;
}

void TCustomDBEditEx::keyPressEvent(QKeyEvent* e) {
  if (BaseKeyDown(e)) return;
  QLineEdit::keyPressEvent(e);
}

void TCustomDBEditEx::keyReleaseEvent(QKeyEvent* e) {
  int key = e->key();
  if (OnKeyUp) {
    QPointer<TCustomDBEditEx> self(this);
    OnKeyUp(this, key, e->modifiers());
    if (!self) return;
  }
  QLineEdit::keyReleaseEvent(e);
}

void TCustomDBEditEx::focusInEvent(QFocusEvent* e) {
  QLineEdit::focusInEvent(e);
  if (focused_) return;  // back from a popup or from another window
  SetFocused(true);
  if (OnEnter) OnEnter(this);
  if (autoSelect_ && e->reason() != Qt::MouseFocusReason) selectAll();
}

void TCustomDBEditEx::focusOutEvent(QFocusEvent* e) {
  QLineEdit::focusOutEvent(e);
  // Opening a popup of our own, or another window becoming active, is no exit.
  if (e->reason() == Qt::PopupFocusReason) return;
  CloseMRU(false);
  if (IsDroppedDown()) CloseUp(false);
  if (e->reason() == Qt::ActiveWindowFocusReason || !focused_) return;
  QPointer<TCustomDBEditEx> self(this);
  if (OnExit) OnExit(this);
  if (!self) return;
  UpdateData();
  SetFocused(false);
}

void TCustomDBEditEx::resizeEvent(QResizeEvent* e) {
  QLineEdit::resizeEvent(e);
  LayoutButtons();
}

void TCustomDBEditEx::changeEvent(QEvent* e) {
  QLineEdit::changeEvent(e);
  if (e->type() == QEvent::FontChange || e->type() == QEvent::StyleChange) {
    ApplyAutoHeight();
    LayoutButtons();
  }
}

void TCustomDBEditEx::enterEvent(QEnterEvent* e) {
  QLineEdit::enterEvent(e);
  mouseInside_ = true;
  UpdateBorderActive();
  update();
}

void TCustomDBEditEx::leaveEvent(QEvent* e) {
  QLineEdit::leaveEvent(e);
  mouseInside_ = false;
  UpdateBorderActive();
  update();
}

void TCustomDBEditEx::paintEvent(QPaintEvent* e) {
  QLineEdit::paintEvent(e);
  if (!flat_) return;
  QPainter p(this);
  const QPalette& pal = palette();
  const QRect r = rect();
  if (borderActive_) {
    qDrawShadePanel(&p, r, pal, true, 1);
  } else {
    p.setPen(pal.color(QPalette::Button));
    p.drawRect(r.adjusted(0, 0, -1, -1));
  }
  p.setPen(pal.color(QPalette::Button));
  p.drawRect(r.adjusted(1, 1, -2, -2));
  p.setPen(pal.color(borderActive_ ? QPalette::Button : QPalette::Base));
  for (const auto& s : slots_)
    if (s.SeparatorX >= 0) p.drawLine(s.SeparatorX, 2, s.SeparatorX, height() - 3);
}

void TCustomDBEditEx::contextMenuEvent(QContextMenuEvent* e) {
  std::unique_ptr<QMenu> menu(createStandardContextMenu());
  for (QAction* a : menu->actions()) {
    if (a->objectName() == QLatin1String("edit-paste")) {
      disconnect(a, &QAction::triggered, nullptr, nullptr);
      connect(a, &QAction::triggered, this, [this] { PasteChecked(); });
    }
  }
  menu->exec(e->globalPos());
}

void TCustomDBEditEx::dropEvent(QDropEvent* e) {
  if (e->mimeData()->hasText() && e->source() != this) {
    QString candidate = text();
    candidate.insert(cursorPositionAt(e->position().toPoint()), e->mimeData()->text());
    if (isReadOnly() || !IsValidText(candidate)) {
      e->ignore();
      return;
    }
    dataLink_.Edit();
  }
  QLineEdit::dropEvent(e);
}

// ---------------------------------------------------------------------------
// TCustomDBNumberEditEx

TCustomDBNumberEditEx::TCustomDBNumberEditEx(QWidget* parent)
    : TCustomDBEditEx(parent, std::make_unique<TDropDownEditButtonEx>()) {
  setAlignment(DefaultAlignment());
  RefreshText();
}

TCustomDBNumberEditEx::~TCustomDBNumberEditEx() {
  if (popup_) {
    popup_->OnCloseUp = nullptr;
    delete popup_;
    popup_ = nullptr;
  }
}

void TCustomDBNumberEditEx::RefreshText() { WriteText(FromLatin1(model_.ValueText(IsFocused()))); }

void TCustomDBNumberEditEx::SetValue(std::optional<double> value) {
  model_.StoreValue(value);
  RefreshText();
  DataLink().UpdateRecord();
  UpdateImageIndex();
}

void TCustomDBNumberEditEx::SetText(const QString& text) {
  model_.SetText(ToLatin1(text));  // throws before anything changes
  SetValue(model_.Value());
}

void TCustomDBNumberEditEx::SetMinValue(double v) { model_.SetMinValue(v); }

void TCustomDBNumberEditEx::SetMaxValue(double v) { model_.SetMaxValue(v); }

void TCustomDBNumberEditEx::SetDecimalPlaces(int v) {
  if (!model_.SetDecimalPlaces(v)) return;
  RefreshText();
  update();
}

void TCustomDBNumberEditEx::SetDisplayFormat(const QString& format) {
  if (!model_.SetDisplayFormat(ToLatin1(format))) return;
  update();
  RefreshText();
}

void TCustomDBNumberEditEx::SetCurrency(bool v) {
  if (!model_.SetCurrency(v)) return;
  update();
  RefreshText();
}

bool TCustomDBNumberEditEx::CanStep() const { return !ReadOnly() && EditCanModify(); }

void TCustomDBNumberEditEx::Step(bool up) {
  if (!CanStep()) return;
  const std::optional<double> v = model_.StepValue(up);
  if (!v) return;
  SetValue(*v);
  if (IsFocused()) selectAll();
}

void TCustomDBNumberEditEx::EditButtonPress(TEditButtonEx* button, TEditButtonControlEx* control, bool top,
                                            bool& autoRepeat) {
  if (button->Style() != ebsUpDownEx) {
    TCustomDBEditEx::EditButtonPress(button, control, top, autoRepeat);
    return;
  }
  if (ReadOnly()) {
    autoRepeat = false;
    return;
  }
  Step(top);
}

void TCustomDBNumberEditEx::DropDown() {
  if (DroppedDownCalc()) return;
  if (!popup_) {
    popup_ = new TPopupCalculatorEx(this);
    popup_->OnCloseUp = [this](bool accept) { CloseUp(accept); };
  }
  popup_->SetValue(Value().value_or(0.0));
  popup_->SetFlat(Flat());
  const TPopupPlacement pl =
      PlacePopup(QRect(mapToGlobal(QPoint(0, 0)), size()), popup_->sizeHint(), WorkAreaOf(this), paLeft);
  SetDroppedDown(true);
  if (TEditButtonControlEx* c = EditButtonControl()) c->SetAlwaysDown(true);
  popup_->Popup(pl.Rect);
}

void TCustomDBNumberEditEx::CloseUp(bool accept) {
  if (!DroppedDownCalc()) {
    TCustomDBEditEx::CloseUp(accept);
    return;
  }
  SetDroppedDown(false);
  if (popup_ && popup_->IsOpen()) popup_->CloseUp(false);
  if (TEditButtonControlEx* c = EditButtonControl()) {
    c->SetAlwaysDown(false);
    c->ResetState();
    PostCloseUpMarker(c);
  }
  if (accept && popup_ && !ReadOnly() && EditCanModify()) {
    if (const std::optional<double> v = popup_->Value()) {
      SetValue(*v);
      if (IsFocused()) selectAll();
    }
  }
}

void TCustomDBNumberEditEx::Change() {
  if (!WritingText()) {
    const QString typed = text();
    const QString regrouped = FromLatin1(model_.Regroup(ToLatin1(typed)));
    if (regrouped != typed) {
      const int caret = cursorPosition() + static_cast<int>(regrouped.size() - typed.size());
      WriteText(regrouped);
      setCursorPosition(std::clamp(caret, 0, static_cast<int>(regrouped.size())));
    }
    // A text that does not convert (it can only come from a path that skips
    // the typing test) leaves the value as it was.
    if (model_.ParseBack(ToLatin1(regrouped)) == TNumberEditModel::TParse::Empty && !text().isEmpty())
      WriteText(QString());
  }
  TCustomDBEditEx::Change();
}

bool TCustomDBNumberEditEx::IsValidText(const QString& candidate) const {
  for (QChar c : candidate)
    if (c.unicode() > 255) return false;
  return model_.IsValidText(ToLatin1(candidate));
}

int TCustomDBNumberEditEx::ValueImageIndex() const {
  const std::optional<double> v = Value();
  if (!v || !std::isfinite(*v) || std::fabs(*v) > INT_MAX) return -1;
  return static_cast<int>(std::nearbyint(*v));
}

void TCustomDBNumberEditEx::SetFocused(bool focused) {
  TCustomDBEditEx::SetFocused(focused);
  RefreshText();
}

void TCustomDBNumberEditEx::keyPressEvent(QKeyEvent* e) {
  // While the calculator is open its popup window receives the keys and the
  // wheel, so none of them arrive here.
  if (BaseKeyDown(e)) return;
  if (e->key() == Qt::Key_Up || e->key() == Qt::Key_Down) {
    if (!ReadOnly()) {
      Step(e->key() == Qt::Key_Up);
      e->accept();
      return;
    }
  }
  if (e->key() == Qt::Key_Backspace && !hasSelectedText()) {
    // Backspace over a thousands separator only steps over it.
    const char ts = FormatSettings().ThousandSeparator;
    const int pos = cursorPosition();
    if (ts && pos > 0 && text()[pos - 1] == QChar::fromLatin1(ts)) {
      setCursorPosition(pos - 1);
      e->accept();
      return;
    }
  }
  const QString typed = e->text();
  if (!ReadOnly() && IsPrintableText(typed)) {
    QString insert = typed;
    const QChar ds = QChar::fromLatin1(FormatSettings().DecimalSeparator);
    for (QChar& c : insert)
      if (c == QLatin1Char(',') || c == QLatin1Char('.')) c = ds;
    if (!IsValidText(TextWithSelectionReplaced(insert))) {
      e->accept();  // dropped silently
      return;
    }
    if (insert != typed) {
      QKeyEvent replaced(e->type(), e->key(), e->modifiers(), insert, e->isAutoRepeat(),
                         static_cast<quint16>(e->count()));
      QLineEdit::keyPressEvent(&replaced);
      e->setAccepted(replaced.isAccepted());
      return;
    }
  }
  QLineEdit::keyPressEvent(e);
}

void TCustomDBNumberEditEx::wheelEvent(QWheelEvent* e) {
  // The wheel steps the box that has the keyboard focus; over any other box
  // it scrolls whatever holds the box.
  if (!hasFocus() || e->modifiers() != Qt::NoModifier || ReadOnly() || !EditCanModify()) {
    QLineEdit::wheelEvent(e);
    return;
  }
  // One step per notch; finer wheels add up to a notch first.
  wheelRemainder_ += e->angleDelta().y();
  while (wheelRemainder_ >= 120) {
    wheelRemainder_ -= 120;
    Step(true);
  }
  while (wheelRemainder_ <= -120) {
    wheelRemainder_ += 120;
    Step(false);
  }
  e->accept();
}
