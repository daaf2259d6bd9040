#include "ui/Pictures.h"

#include <QFont>
#include <QFontMetrics>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <QWidget>
#include <algorithm>
#include <cmath>

namespace {

const QColor kKeyColor(255, 0, 255);
const char* const kMakerName = "Quorvane Broadcast Ltd.";

QImage NewPicture(int width, int height, const QColor& fill) {
  QImage image(width, height, QImage::Format_ARGB32);
  image.fill(fill);
  return image;
}

QFont PixelFont(const char* family, int pixels, bool bold = false) {
  QFont font(QString::fromLatin1(family));
  font.setPixelSize(pixels);
  font.setBold(bold);
  font.setStyleStrategy(QFont::PreferAntialias);
  return font;
}

// Pixels drawn with soft edges on a transparent image get a hard outline
// against the key colour: covered pixels are blended over `matte`, uncovered
// ones take the key colour, so no pink fringe survives the keying.
QImage FlattenOnKey(const QImage& soft, const QColor& matte) {
  QImage out = NewPicture(soft.width(), soft.height(), kKeyColor);
  for (int y = 0; y < soft.height(); ++y) {
    const QRgb* src = reinterpret_cast<const QRgb*>(soft.constScanLine(y));
    QRgb* dst = reinterpret_cast<QRgb*>(out.scanLine(y));
    for (int x = 0; x < soft.width(); ++x) {
      const int a = qAlpha(src[x]);
      if (a == 0) continue;
      auto mix = [a](int c, int m) { return (c * a + m * (255 - a)) / 255; };
      dst[x] = qRgb(mix(qRed(src[x]), matte.red()), mix(qGreen(src[x]), matte.green()),
                    mix(qBlue(src[x]), matte.blue()));
      if (dst[x] == kKeyColor.rgb()) dst[x] = qRgb(254, 0, 254);
    }
  }
  return out;
}

// The maker's emblem: a ring with three wave arcs rising from it.
void DrawEmblem(QPainter& p, const QRectF& box, const QColor& ring, const QColor& waves) {
  p.save();
  p.setRenderHint(QPainter::Antialiasing);
  const double s = std::min(box.width(), box.height());
  const QPointF c(box.left() + s * 0.38, box.top() + s * 0.62);
  const double r = s * 0.26;
  QPen pen(ring, s * 0.09);
  pen.setCapStyle(Qt::RoundCap);
  p.setPen(pen);
  p.setBrush(Qt::NoBrush);
  p.drawEllipse(c, r, r);
  // The tail that makes the ring a letter.
  p.drawLine(c + QPointF(r * 0.55, r * 0.55), c + QPointF(r * 1.15, r * 1.1));
  pen.setColor(waves);
  pen.setWidthF(s * 0.06);
  p.setPen(pen);
  for (int i = 1; i <= 3; ++i) {
    const double rr = r + s * 0.13 * i;
    p.drawArc(QRectF(c.x() - rr, c.y() - rr, 2 * rr, 2 * rr), 15 * 16, 60 * 16);
  }
  p.restore();
}

// Seven-segment digit. Segment bits: a top, b upper right, c lower right,
// d bottom, e lower left, f upper left, g middle.
constexpr uint8_t kSegments[10] = {0x3F, 0x06, 0x5B, 0x4F, 0x66, 0x6D, 0x7D, 0x07, 0x7F, 0x6F};

QImage DigitGlyph(int glyph, bool dimmed) {
  const QColor back = dimmed ? ColorFromTColor(0x999999) : ColorFromTColor(0x1C3717);
  const QColor lit = dimmed ? QColor(88, 88, 88) : QColor(128, 255, 96);
  const QColor unlit = dimmed ? QColor(140, 140, 140) : QColor(36, 74, 42);
  QImage image = NewPicture(kDigitGlyphWidth, kDigitGlyphHeight, back);
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(Qt::NoPen);
  if (glyph == 11) {
    p.setBrush(lit);
    p.drawRect(QRectF(1, 19, 3, 3));
    return image;
  }
  const uint8_t on = glyph < 10 ? kSegments[glyph] : 0;
  const double l = 2.5, r = 12.5, t = 2, m = 12, b = 22, w = 2.2;
  auto hseg = [&](double y) {
    QPolygonF poly;
    poly << QPointF(l + 1, y) << QPointF(l + 1 + w / 2, y - w / 2) << QPointF(r - 1 - w / 2, y - w / 2)
         << QPointF(r - 1, y) << QPointF(r - 1 - w / 2, y + w / 2) << QPointF(l + 1 + w / 2, y + w / 2);
    return poly;
  };
  auto vseg = [&](double x, double y0, double y1) {
    QPolygonF poly;
    poly << QPointF(x, y0 + 1) << QPointF(x + w / 2, y0 + 1 + w / 2) << QPointF(x + w / 2, y1 - 1 - w / 2)
         << QPointF(x, y1 - 1) << QPointF(x - w / 2, y1 - 1 - w / 2) << QPointF(x - w / 2, y0 + 1 + w / 2);
    return poly;
  };
  const QPolygonF segs[7] = {hseg(t + w / 2), vseg(r - w / 2, t, m), vseg(r - w / 2, m, b),
                             hseg(b - w / 2), vseg(l + w / 2, m, b), vseg(l + w / 2, t, m), hseg(m)};
  for (int s = 0; s < 7; ++s) {
    p.setBrush((on >> s) & 1 ? lit : unlit);
    p.drawPolygon(segs[s]);
  }
  return image;
}

enum class TArrow { Left, Right, SearchLeft, SearchRight };
enum class TButtonLook { Normal, Disabled, Hover, Down };

QImage ArrowButton(TArrow arrow, TButtonLook look) {
  const int n = kArrowButtonSize;
  QImage soft(n, n, QImage::Format_ARGB32);
  soft.fill(Qt::transparent);
  QPainter p(&soft);
  p.setRenderHint(QPainter::Antialiasing);
  QColor top(96, 150, 204), bottom(32, 72, 128), mark(255, 255, 255);
  switch (look) {
    case TButtonLook::Normal: break;
    case TButtonLook::Disabled: top = QColor(196, 196, 196); bottom = QColor(150, 150, 150); mark = QColor(228, 228, 228); break;
    case TButtonLook::Hover: top = QColor(132, 188, 240); bottom = QColor(48, 100, 168); break;
    case TButtonLook::Down: top = QColor(24, 56, 104); bottom = QColor(80, 130, 190); mark = QColor(220, 236, 255); break;
  }
  QLinearGradient body(0, 1, 0, n - 1);
  body.setColorAt(0, top);
  body.setColorAt(1, bottom);
  p.setPen(QPen(QColor(20, 40, 70), 1));
  p.setBrush(body);
  p.drawEllipse(QRectF(1.5, 1.5, n - 3, n - 3));
  const double shift = look == TButtonLook::Down ? 1 : 0;
  const double cy = n / 2.0 + shift;
  auto triangle = [&](double tipX, bool left) {
    QPolygonF poly;
    const double back = left ? tipX + 7 : tipX - 7;
    poly << QPointF(tipX, cy) << QPointF(back, cy - 6) << QPointF(back, cy + 6);
    p.drawPolygon(poly);
  };
  p.setPen(Qt::NoPen);
  p.setBrush(mark);
  const double cx = n / 2.0 + shift;
  switch (arrow) {
    case TArrow::Left: triangle(cx - 4.5, true); break;
    case TArrow::Right: triangle(cx + 4.5, false); break;
    case TArrow::SearchLeft: triangle(cx - 7.5, true); triangle(cx - 0.5, true); break;
    case TArrow::SearchRight: triangle(cx + 7.5, false); triangle(cx + 0.5, false); break;
  }
  p.end();
  return FlattenOnKey(soft, QColor(236, 236, 236));
}

QImage RoundLamp(int size, const QColor& color, bool lit) {
  QImage image(size, size, QImage::Format_ARGB32);
  image.fill(Qt::transparent);
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing);
  const QColor body = lit ? color : color.darker(320);
  QRadialGradient g(size * 0.38, size * 0.35, size * 0.6);
  g.setColorAt(0, lit ? body.lighter(170) : body.lighter(130));
  g.setColorAt(1, body);
  p.setPen(QPen(QColor(30, 30, 30), 1));
  p.setBrush(g);
  p.drawEllipse(QRectF(0.5, 0.5, size - 1, size - 1));
  return image;
}

QImage TextLamp(const QString& label, int width, int height, bool lit) {
  QImage image(width, height, QImage::Format_ARGB32);
  image.fill(Qt::transparent);
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(QPen(lit ? QColor(20, 90, 20) : QColor(70, 80, 70), 1));
  p.setBrush(lit ? QColor(110, 240, 80) : QColor(42, 62, 46));
  p.drawRoundedRect(QRectF(0.5, 0.5, width - 1, height - 1), 3, 3);
  p.setFont(PixelFont("DejaVu Sans", std::max(7, height - 6), true));
  p.setPen(lit ? QColor(10, 40, 10) : QColor(100, 124, 104));
  p.drawText(QRect(0, 0, width, height), Qt::AlignCenter, label);
  return image;
}

}  // namespace

QColor ColorFromTColor(uint32_t color) {
  return QColor(color & 0xFF, (color >> 8) & 0xFF, (color >> 16) & 0xFF);
}

TImageList::TImageList(int width, int height, QObject* parent)
    : QObject(parent), Size(std::max(1, width), std::max(1, height)) {}

int TImageList::Add(const QImage& image) {
  QImage fitted = image.convertToFormat(QImage::Format_ARGB32);
  if (fitted.size() != Size) fitted = fitted.scaled(Size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
  Images.push_back(fitted);
  return Count() - 1;
}

void TImageList::Clear() { Images.clear(); }

QImage TImageList::Image(int index) const {
  if (index < 0 || index >= Count()) return QImage();
  return Images[static_cast<size_t>(index)];
}

void TImageList::Draw(QPainter& painter, int x, int y, int index) const {
  if (index < 0 || index >= Count()) return;
  painter.drawImage(x, y, Images[static_cast<size_t>(index)]);
}

void AttachImageList(QWidget* control, QPointer<TImageList>& slot, TImageList* list) {
  if (slot) QObject::disconnect(slot, nullptr, control, nullptr);
  slot = list;
  if (list) QObject::connect(list, &QObject::destroyed, control, qOverload<>(&QWidget::update));
  if (list && list->Count() > 0)
    control->resize(list->Width(), list->Height());
  else
    control->resize(30, 30);
  control->update();
}

QImage KeyColorTransparent(const QImage& picture) {
  if (picture.isNull()) return picture;
  QImage out = picture.convertToFormat(QImage::Format_ARGB32);
  const QRgb key = out.pixel(0, 0);
  for (int y = 0; y < out.height(); ++y) {
    QRgb* line = reinterpret_cast<QRgb*>(out.scanLine(y));
    for (int x = 0; x < out.width(); ++x)
      if (line[x] == key) line[x] = qRgba(0, 0, 0, 0);
  }
  return out;
}

QRegion RegionWithoutKeyColor(const QImage& picture) {
  if (picture.isNull()) return QRegion();
  const QImage image = picture.convertToFormat(QImage::Format_ARGB32);
  const QRgb key = image.pixel(0, 0);
  QRegion region(0, 0, image.width(), image.height());
  for (int y = 0; y < image.height(); ++y) {
    const QRgb* line = reinterpret_cast<const QRgb*>(image.constScanLine(y));
    int x = 0;
    while (x < image.width()) {
      if (line[x] != key) {
        ++x;
        continue;
      }
      const int start = x;
      while (x < image.width() && line[x] == key) ++x;
      region -= QRegion(start, y, x - start, 1);
    }
  }
  return region;
}

TImageList* MakeDigitGlyphs(QObject* parent) {
  auto* list = new TImageList(kDigitGlyphWidth, kDigitGlyphHeight, parent);
  for (int dimmed = 0; dimmed < 2; ++dimmed)
    for (int glyph = 0; glyph < 12; ++glyph) list->Add(DigitGlyph(glyph, dimmed != 0));
  return list;
}

TImageList* MakeArrowButtonStates(QObject* parent) {
  auto* list = new TImageList(kArrowButtonSize, kArrowButtonSize, parent);
  for (TArrow arrow : {TArrow::Left, TArrow::Right, TArrow::SearchLeft, TArrow::SearchRight})
    for (TButtonLook look : {TButtonLook::Normal, TButtonLook::Disabled, TButtonLook::Hover, TButtonLook::Down})
      list->Add(ArrowButton(arrow, look));
  return list;
}

TImageList* MakeLampStates(int size, QObject* parent) {
  auto* list = new TImageList(size, size, parent);
  for (const QColor& c : {QColor(60, 230, 60), QColor(240, 50, 40), QColor(255, 180, 20)}) {
    list->Add(RoundLamp(size, c, true));
    list->Add(RoundLamp(size, c, false));
  }
  return list;
}

TImageList* MakeTextLampStates(const QStringList& labels, int width, int height, QObject* parent) {
  auto* list = new TImageList(width, height, parent);
  for (const QString& label : labels) {
    list->Add(TextLamp(label, width, height, true));
    list->Add(TextLamp(label, width, height, false));
  }
  return list;
}

QImage MakeLogoPicture() {
  const QString name = QStringLiteral("QUORVANE"), line = QStringLiteral("Broadcast Ltd.");
  const QFont nameFont = PixelFont("DejaVu Sans", 17, true), lineFont = PixelFont("DejaVu Sans", 11);
  // As wide as its texts, so that none loses its last letter.
  const int textWidth = std::max(QFontMetrics(nameFont).horizontalAdvance(name),
                                 QFontMetrics(lineFont).horizontalAdvance(line) + 1);
  QImage image(std::max(150, 44 + textWidth + 3), 44, QImage::Format_ARGB32);
  image.fill(Qt::transparent);
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing);
  p.setRenderHint(QPainter::TextAntialiasing);
  DrawEmblem(p, QRectF(2, 2, 40, 40), QColor(20, 70, 140), QColor(230, 120, 20));
  p.setPen(QColor(20, 70, 140));
  p.setFont(nameFont);
  p.drawText(QRect(44, 4, image.width() - 44, 22), Qt::AlignLeft | Qt::AlignVCenter, name);
  p.setPen(QColor(90, 100, 110));
  p.setFont(lineFont);
  p.drawText(QRect(45, 24, image.width() - 45, 16), Qt::AlignLeft | Qt::AlignVCenter, line);
  return image;
}

QRect SplashStatusRect() { return QRect(20, 210, 380, 18); }

QImage MakeSplashPicture() {
  const int w = 420, h = 250;
  QImage image = NewPicture(w, h, QColor(10, 28, 58));
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing);
  p.setRenderHint(QPainter::TextAntialiasing);
  QLinearGradient sky(0, 0, 0, h);
  sky.setColorAt(0, QColor(8, 24, 56));
  sky.setColorAt(1, QColor(14, 80, 96));
  p.fillRect(image.rect(), sky);

  // A band-scan skyline: a smooth pseudo spectrum with a few station peaks.
  QPainterPath spectrum;
  spectrum.moveTo(0, h);
  const double peaks[][3] = {{60, 48, 7}, {118, 70, 5}, {176, 38, 6}, {240, 86, 5}, {302, 52, 7}, {366, 64, 5}};
  for (int x = 0; x <= w; x += 2) {
    double level = 10 + 4 * std::sin(x * 0.11) + 3 * std::sin(x * 0.037 + 1.3);
    for (const auto& pk : peaks) level += pk[1] * std::exp(-std::pow((x - pk[0]) / pk[2], 2));
    spectrum.lineTo(x, h - 44 - level);
  }
  spectrum.lineTo(w, h);
  spectrum.closeSubpath();
  QLinearGradient fill(0, h - 140, 0, h);
  fill.setColorAt(0, QColor(80, 220, 160, 150));
  fill.setColorAt(1, QColor(20, 120, 110, 40));
  p.setPen(QPen(QColor(120, 255, 190, 200), 1.2));
  p.setBrush(fill);
  p.drawPath(spectrum);

  // Status band at the bottom.
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(0, 0, 0, 110));
  p.drawRect(QRect(0, h - 44, w, 44));

  DrawEmblem(p, QRectF(w - 96, 14, 80, 80), QColor(240, 244, 250), QColor(255, 150, 40));
  p.setPen(QColor(250, 250, 255));
  p.setFont(PixelFont("DejaVu Sans", 46, true));
  p.drawText(QRect(22, 16, 300, 60), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("Fenwisk"));
  p.setPen(QColor(180, 214, 240));
  p.setFont(PixelFont("DejaVu Sans", 14));
  p.drawText(QRect(24, 76, 320, 20), Qt::AlignLeft | Qt::AlignVCenter,
             QStringLiteral("FM Broadcast Monitoring Receiver"));
  p.setFont(PixelFont("DejaVu Sans", 11));
  p.setPen(QColor(150, 190, 220));
  p.drawText(QRect(24, 96, 320, 18), Qt::AlignLeft | Qt::AlignVCenter,
             QStringLiteral("RDS / RBDS  \u00b7  Band Scan  \u00b7  MPX Deviation"));
  p.setPen(QColor(200, 210, 220));
  p.setFont(PixelFont("DejaVu Sans", 10));
  p.drawText(QRect(0, h - 17, w - 10, 15), Qt::AlignRight | Qt::AlignVCenter, QString::fromLatin1(kMakerName));
  return image;
}

QImage MakeAboutPicture() {
  const int w = 380, h = 270;
  QImage image = NewPicture(w, h, kKeyColor);
  QPainter p(&image);
  // The outline stays hard-edged: its pixels decide the window's shape.
  p.setRenderHint(QPainter::Antialiasing, false);
  QPainterPath card;
  card.addRoundedRect(QRectF(0, 0, w - 1, h - 1), 22, 22);
  QLinearGradient g(0, 0, 0, h);
  g.setColorAt(0, QColor(252, 253, 255));
  g.setColorAt(1, QColor(214, 228, 244));
  p.setPen(QPen(QColor(30, 70, 130), 2));
  p.setBrush(g);
  p.drawPath(card);

  p.setRenderHint(QPainter::Antialiasing);
  p.setRenderHint(QPainter::TextAntialiasing);
  DrawEmblem(p, QRectF(20, 14, 64, 64), QColor(20, 70, 140), QColor(230, 120, 20));
  p.setPen(QColor(20, 50, 100));
  p.setFont(PixelFont("DejaVu Sans", 32, true));
  p.drawText(QRect(94, 18, 260, 40), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("Fenwisk"));
  p.setPen(QColor(70, 90, 120));
  p.setFont(PixelFont("DejaVu Sans", 12));
  p.drawText(QRect(96, 56, 270, 18), Qt::AlignLeft | Qt::AlignVCenter,
             QStringLiteral("FM Broadcast Monitoring Receiver"));
  p.setPen(QPen(QColor(30, 70, 130, 120), 1));
  p.drawLine(QPointF(22, 88), QPointF(w - 22, 88));
  return image;
}
