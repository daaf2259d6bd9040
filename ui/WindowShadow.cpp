#include "ui/WindowShadow.h"

#include <QEvent>
#include <QGuiApplication>
#include <QPainter>
#include <QWidget>
#include <algorithm>
#include <vector>

#include <cstdlib>

#if QT_CONFIG(xcb)
#include <xcb/xcb.h>
#define FW_HAVE_XCB 1
#endif

bool DesktopComposites() {
  const QString platform = QGuiApplication::platformName();
#ifdef FW_HAVE_XCB
  if (platform == QLatin1String("xcb")) {
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    xcb_connection_t* c = x11 ? x11->connection() : nullptr;
    if (!c) return false;
    static const char kName[] = "_NET_WM_CM_S0";
    xcb_intern_atom_reply_t* atom =
        xcb_intern_atom_reply(c, xcb_intern_atom(c, 1, sizeof kName - 1, kName), nullptr);
    if (!atom) return false;
    const xcb_atom_t name = atom->atom;
    free(atom);
    if (name == XCB_ATOM_NONE) return false;
    xcb_get_selection_owner_reply_t* owner =
        xcb_get_selection_owner_reply(c, xcb_get_selection_owner(c, name), nullptr);
    const bool composited = owner && owner->owner != XCB_WINDOW_NONE;
    free(owner);
    return composited;
  }
#endif
  return false;
}

namespace {

// One pass of a box blur of the alpha channel, along rows or along columns.
void BoxBlurAlpha(std::vector<int>& a, int w, int h, int radius, bool rows) {
  const int n = rows ? w : h, lines = rows ? h : w;
  std::vector<int> line(static_cast<size_t>(n));
  for (int l = 0; l < lines; ++l) {
    auto at = [&](int i) -> int& { return rows ? a[size_t(l * w + i)] : a[size_t(i * w + l)]; };
    for (int i = 0; i < n; ++i) line[size_t(i)] = at(i);
    int sum = 0;
    for (int i = -radius; i <= radius; ++i) sum += (i >= 0 && i < n) ? line[size_t(i)] : 0;
    for (int i = 0; i < n; ++i) {
      at(i) = sum / (2 * radius + 1);
      const int out = i - radius, in = i + radius + 1;
      if (out >= 0) sum -= line[size_t(out)];
      if (in < n) sum += line[size_t(in)];
    }
  }
}

class TShadowWindow final : public QWidget {
 public:
  TShadowWindow()
      : QWidget(nullptr, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowTransparentForInput |
                             Qt::WindowDoesNotAcceptFocus | Qt::NoDropShadowWindowHint) {
    setObjectName(QStringLiteral("DropShadow"));
    setAttribute(Qt::WA_TranslucentBackground);
    setAttribute(Qt::WA_ShowWithoutActivating);
    setAttribute(Qt::WA_TransparentForMouseEvents);
  }
  QImage Picture;

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter p(this);
    p.setCompositionMode(QPainter::CompositionMode_Source);
    p.drawImage(0, 0, Picture);
  }
};

}  // namespace

QImage DropShadowPicture(QSize Size, const QRegion& Shape, int Blur, int Offset) {
  const int w = Size.width() + 2 * Blur + Offset, h = Size.height() + 2 * Blur + Offset;
  if (Size.isEmpty()) return {};
  QImage solid(w, h, QImage::Format_ARGB32);
  solid.fill(Qt::transparent);
  {
    QPainter p(&solid);
    const QRegion shape = Shape.isEmpty() ? QRegion(0, 0, Size.width(), Size.height()) : Shape;
    for (const QRect& r : shape) p.fillRect(r.translated(Blur + Offset, Blur + Offset), QColor(0, 0, 0, 110));
  }
  std::vector<int> alpha(size_t(w) * size_t(h));
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) alpha[size_t(y * w + x)] = qAlpha(solid.pixel(x, y));
  // Three box passes come close to a Gaussian fall-off.
  const int radius = std::max(1, Blur / 3);
  for (int pass = 0; pass < 3; ++pass) {
    BoxBlurAlpha(alpha, w, h, radius, true);
    BoxBlurAlpha(alpha, w, h, radius, false);
  }
  QImage out(w, h, QImage::Format_ARGB32_Premultiplied);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) out.setPixel(x, y, qRgba(0, 0, 0, alpha[size_t(y * w + x)]));
  return out;
}

TDropShadow::TDropShadow(QWidget* Owner) : QObject(Owner), owner_(Owner), window_(new TShadowWindow) {
  Owner->installEventFilter(this);
}

TDropShadow::~TDropShadow() = default;

std::function<bool()>& TDropShadow::Composites() {
  static std::function<bool()> probe = DesktopComposites;
  return probe;
}

QWidget* TDropShadow::Window() const { return window_.get(); }

bool TDropShadow::eventFilter(QObject* Watched, QEvent* Event) {
  if (Watched == owner_) {
    switch (Event->type()) {
      case QEvent::Show:
        if (Composites() && Composites()()) {
          Follow();
          window_->show();
          // Below the owner: shown after it, the shadow would cover it.
          owner_->raise();
        }
        break;
      case QEvent::Hide:
        window_->hide();
        break;
      case QEvent::Move:
      case QEvent::Resize:
        if (window_->isVisible()) Follow();
        break;
      default:
        break;
    }
  }
  return QObject::eventFilter(Watched, Event);
}

void TDropShadow::Follow() {
  auto* shadow = static_cast<TShadowWindow*>(window_.get());
  const QRect frame = owner_->frameGeometry();
  shadow->Picture = DropShadowPicture(frame.size(), owner_->mask(), kBlur, kOffset);
  shadow->setGeometry(QRect(frame.topLeft() - QPoint(kBlur, kBlur), shadow->Picture.size()));
  shadow->update();
}
