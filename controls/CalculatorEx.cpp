#include "controls/CalculatorEx.h"

#include <QApplication>
#include <QClipboard>
#include <QKeyEvent>
#include <QPainter>
#include <QWheelEvent>
#include <cmath>
#include <qdrawutil.h>

#include "platform/ExLibVCL.h"

namespace {
// Key characters and captions by tag (index 0 unused).
constexpr char kKeyChars[TCalculatorEx::kKeyCount + 1] = {0,   '7', '8', '9', '/', 'S', 'C', '4',
                                                          '5', '6', '*', '%', 'A', '1', '2', '3',
                                                          '-', 'R', '\b', '0', 'I', '.', '+', '='};
const char* const kKeyCaptions[TCalculatorEx::kKeyCount + 1] = {
    "",  "7", "8", "9", "/",   "sqrt", "C",  "4",   "5", "6", "*", "%", "Cancel",
    "1", "2", "3", "-", "1/x", "<-",   "0",  "+/-", ".", "+", "Ok"};

// Design rectangles: four rows of six columns under the display; the right
// two columns are wider for the longer captions; Ok spans both.
QRect DesignKeyRect(int tag) {
  static const int kColX[] = {3, 29, 55, 81, 107, 141};
  static const int kColW[] = {24, 24, 24, 24, 32, 40};
  int row, col;
  if (tag <= 18) {
    row = (tag - 1) / 6;
    col = (tag - 1) % 6;
  } else {
    row = 3;
    col = tag - 19;
  }
  const int w = tag == 23 ? 74 : kColW[col];
  return QRect(kColX[col], 28 + row * 25, w, 22);
}

const QRect kDesignPanel(3, 3, 178, 21);

QRect Scaled(const QRect& r, double s) {
  auto sc = [s](int v) { return static_cast<int>(std::nearbyint(v * s)); };
  return QRect(sc(r.x()), sc(r.y()), sc(r.width()), sc(r.height()));
}
}  // namespace

char TCalculatorEx::KeyChar(int tag) { return tag >= 1 && tag <= kKeyCount ? kKeyChars[tag] : 0; }

QString TCalculatorEx::KeyCaption(int tag) {
  return tag >= 1 && tag <= kKeyCount ? QString::fromLatin1(kKeyCaptions[tag]) : QString();
}

TCalculatorEx::TCalculatorEx(QWidget* parent) : QWidget(parent) {
  setFocusPolicy(Qt::NoFocus);
  panel_ = new QFrame(this);
  panel_->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  panel_->setAutoFillBackground(true);
  panel_->setBackgroundRole(QPalette::Base);
  textBox_ = new QLabel(panel_);
  textBox_->setObjectName("TextBox");
  textBox_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  for (int tag = 1; tag <= kKeyCount; ++tag) {
    auto* key = new TSpeedButtonEx(this);
    key->SetStyle(ebsGlyphEx);
    key->SetActive(true);
    key->SetTag(tag);
    key->SetCaption(KeyCaption(tag));
    key->OnClick = [this](TEditButtonControlEx* k) { SpeedButtonClick(k); };
    keys_[static_cast<size_t>(tag - 1)] = key;
  }
  spEqual()->setObjectName("spEqual");
  LayoutKeys();
  UpdateDisplay();
}

TSpeedButtonEx* TCalculatorEx::Key(int tag) const {
  return tag >= 1 && tag <= kKeyCount ? keys_[static_cast<size_t>(tag - 1)] : nullptr;
}

void TCalculatorEx::LayoutKeys() {
  // Scaled like a form whose stored text height no longer matches its font.
  const int textHeight = QFontMetrics(font()).height();
  const double s = textHeight == kDesignTextHeight ? 1.0 : static_cast<double>(textHeight) / kDesignTextHeight;
  panel_->setGeometry(Scaled(kDesignPanel, s));
  textBox_->setGeometry(panel_->contentsRect().adjusted(2, 0, -3, 0));
  for (int tag = 1; tag <= kKeyCount; ++tag) Key(tag)->setGeometry(Scaled(DesignKeyRect(tag), s));
  clientSize_ = QSize(static_cast<int>(std::nearbyint(kDesignWidth * s)),
                      static_cast<int>(std::nearbyint(kDesignHeight * s)));
  resize(clientSize_);
  updateGeometry();
}

QSize TCalculatorEx::sizeHint() const { return clientSize_; }

void TCalculatorEx::changeEvent(QEvent* event) {
  if (event->type() == QEvent::FontChange) LayoutKeys();
  QWidget::changeEvent(event);
}

void TCalculatorEx::SetFlatKeys(bool flat) {
  for (auto* key : keys_) key->SetFlat(flat);
}

QString TCalculatorEx::DisplayText() const { return QString::fromLatin1(model_.DisplayText()); }

void TCalculatorEx::SetValue(double value) {
  model_.SetValue(value);
  UpdateDisplay();
}

void TCalculatorEx::UpdateDisplay() {
  textBox_->setText(DisplayText());
  spEqual()->SetCaption(QString::fromLatin1(model_.EqualCaption()));
}

void TCalculatorEx::CalcKey(char c) {
  model_.KeyPress(c);
  UpdateDisplay();
}

void TCalculatorEx::SpeedButtonClick(TEditButtonControlEx* key) {
  const char c = KeyChar(key->Tag());
  if (c) CalcKey(c);
}

void TCalculatorEx::Copy() { QApplication::clipboard()->setText(DisplayText()); }

void TCalculatorEx::Paste() {
  const QString text = QApplication::clipboard()->text();
  if (text.isEmpty()) return;
  try {
    model_.Paste(text.toLatin1().toStdString());
  } catch (const EConvertError& e) {
    ShowControlException(e);
  }
  UpdateDisplay();
}

void TCalculatorEx::keyPressEvent(QKeyEvent* event) {
  if (event->matches(QKeySequence::Copy)) {
    Copy();
    return;
  }
  if (event->matches(QKeySequence::Paste)) {
    Paste();
    return;
  }
  switch (event->key()) {
    case Qt::Key_Backspace: CalcKey(TCalculatorModel::kBackspace); return;
    case Qt::Key_Escape: CalcKey(TCalculatorModel::kEscape); return;
    case Qt::Key_Return:
    case Qt::Key_Enter: CalcKey(TCalculatorModel::kEnter); return;
    default: break;
  }
  const QString text = event->text();
  if (text.size() == 1 && text[0].unicode() >= 32 && text[0].unicode() <= 126) {
    CalcKey(static_cast<char>(text[0].unicode()));
    return;
  }
  QWidget::keyPressEvent(event);
}

void TCalculatorEx::wheelEvent(QWheelEvent* event) {
  const int dy = event->angleDelta().y();
  if (dy != 0) {
    model_.Wheel(dy > 0);
    UpdateDisplay();
  }
  event->accept();
}

// ---------------------------------------------------------------------------

TPopupCalculatorEx::TPopupCalculatorEx(QWidget* owner) : TCalculatorEx(owner) {
  setWindowFlags(Qt::Popup | Qt::FramelessWindowHint);
  SetFlatKeys(true);
}

void TPopupCalculatorEx::SetFlat(bool flat) {
  if (flat_ == flat) return;
  flat_ = flat;
  update();
}

void TPopupCalculatorEx::Popup(const QRect& screenRect) {
  setGeometry(screenRect);
  open_ = true;
  show();
  raise();
}

void TPopupCalculatorEx::CloseUp(bool accept) {
  if (!open_) return;
  open_ = false;
  hide();
  if (OnCloseUp) OnCloseUp(accept);
}

void TPopupCalculatorEx::CalcKey(char c) {
  if ((c == '=' || c == TCalculatorModel::kEnter) && model_.EqualCaption() == "Ok") {
    CloseUp(true);
    return;
  }
  TCalculatorEx::CalcKey(c);
}

void TPopupCalculatorEx::SpeedButtonClick(TEditButtonControlEx* key) {
  if (key->Tag() == 12) {
    CloseUp(false);
    return;
  }
  TCalculatorEx::SpeedButtonClick(key);
}

void TPopupCalculatorEx::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Escape) {
    CloseUp(false);
    return;
  }
  TCalculatorEx::keyPressEvent(event);
}

void TPopupCalculatorEx::hideEvent(QHideEvent* event) {
  TCalculatorEx::hideEvent(event);
  // Closed from outside (a click elsewhere): nothing is taken over.
  if (open_) CloseUp(false);
}

void TPopupCalculatorEx::paintEvent(QPaintEvent* event) {
  TCalculatorEx::paintEvent(event);
  QPainter p(this);
  if (flat_) {
    p.setPen(palette().color(QPalette::Dark));
    p.drawRect(rect().adjusted(0, 0, -1, -1));
  } else {
    qDrawShadePanel(&p, rect(), palette(), false, 1);
  }
}
