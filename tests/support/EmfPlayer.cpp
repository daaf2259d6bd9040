#include "support/EmfPlayer.h"

#include <algorithm>
#include <cstdlib>
#include <map>
#include <string>

#include "platform/PainterDC.h"

namespace {

// The objects a metafile creates, by handle.
struct TObject {
  enum { Pen, Brush, Font } Kind = Pen;
  TDCPen P;
  TDCBrush B;
  TDCFont F;
};

class TReader {
 public:
  TReader(const QByteArray& b, qsizetype at) : b_(b), at_(at) {}
  int32_t I(int offset) const {
    const auto* p = reinterpret_cast<const uint8_t*>(b_.constData()) + at_ + offset;
    return int32_t(p[0] | p[1] << 8 | p[2] << 16 | uint32_t(p[3]) << 24);
  }
  uint8_t U8(int offset) const { return uint8_t(b_[at_ + offset]); }
  uint16_t U16(int offset) const { return uint16_t(U8(offset) | U8(offset + 1) << 8); }
  TRect Rect(int offset) const { return {I(offset), I(offset + 4), I(offset + 8), I(offset + 12)}; }
  TPoint Point(int offset) const { return {I(offset), I(offset + 4)}; }
  std::string Utf16(int offset, int count) const {
    std::string s;
    for (int i = 0; i < count; ++i) s += char(U16(offset + 2 * i) & 0xFF);
    return s;
  }
  const char* Data(int offset) const { return b_.constData() + at_ + offset; }

 private:
  const QByteArray& b_;
  qsizetype at_;
};

constexpr TDCPenStyle kPenStyles[] = {TDCPenStyle::Solid,      TDCPenStyle::Dash,  TDCPenStyle::Dot,
                                      TDCPenStyle::DashDot,    TDCPenStyle::DashDotDot,
                                      TDCPenStyle::Clear,      TDCPenStyle::InsideFrame};

TDCRop3 Rop3Of(uint32_t code) {
  static const std::map<uint32_t, TDCRop3> codes{
      {0x00CC0020, TDCRop3::SrcCopy},   {0x00660046, TDCRop3::SrcInvert}, {0x008800C6, TDCRop3::SrcAnd},
      {0x00EE0086, TDCRop3::SrcPaint},  {0x00F00021, TDCRop3::PatCopy},   {0x005A0049, TDCRop3::PatInvert},
      {0x00550009, TDCRop3::DstInvert}, {0x00000042, TDCRop3::Blackness}, {0x00FF0062, TDCRop3::Whiteness}};
  const auto found = codes.find(code);
  return found == codes.end() ? TDCRop3::SrcCopy : found->second;
}

// A 24-bit bottom-up device-independent bitmap.
QImage DibImage(const TReader& r, int offInfo, int offBits) {
  const int w = r.I(offInfo + 4), h = r.I(offInfo + 8);
  if (r.U16(offInfo + 14) != 24 || w <= 0 || h <= 0) return {};
  QImage img(w, h, QImage::Format_RGB32);
  const int stride = (w * 3 + 3) & ~3;
  for (int y = 0; y < h; ++y) {
    const auto* row = reinterpret_cast<const uint8_t*>(r.Data(offBits + (h - 1 - y) * stride));
    for (int x = 0; x < w; ++x) img.setPixel(x, y, qRgb(row[3 * x + 2], row[3 * x + 1], row[3 * x]));
  }
  return img;
}

}  // namespace

bool PlayEnhancedMetafile(const QByteArray& emf, IDeviceContext& dc) {
  std::map<int, TObject> objects;
  TDCMapping mapping;
  TRect pathEllipse;
  bool clockwise = false;
  int saved = 0;
  for (qsizetype at = 0; at + 8 <= emf.size();) {
    const TReader r(emf, at);
    const uint32_t type = uint32_t(r.I(0)), size = uint32_t(r.I(4));
    if (size < 8 || size % 4 || at + size > emf.size()) return false;
    switch (type) {
      case 1: break;  // header
      case 14: return at + size == emf.size();
      case 38: {
        const int style = r.I(12);
        if (style < 0 || style > 6) return false;
        objects[r.I(8)] = {TObject::Pen, {kPenStyles[style], r.I(16), TColor(r.I(24))}, {}, {}};
        break;
      }
      case 39: {
        const int style = r.I(12);
        TDCBrush b{style == 1 ? TDCBrushStyle::Clear : TDCBrushStyle::Solid, TColor(r.I(16)), {}};
        if (style == 2) b.Style = TDCBrushStyle(int(TDCBrushStyle::Horizontal) + r.I(20));
        objects[r.I(8)] = {TObject::Brush, {}, b, {}};
        break;
      }
      case 82: {
        TDCFont f;
        f.Height = r.I(12), f.Escapement = r.I(20), f.Weight = r.I(28);
        f.Italic = r.U8(32), f.Underline = r.U8(33), f.StrikeOut = r.U8(34);
        f.Name = r.Utf16(40, 32).c_str();
        objects[r.I(8)] = {TObject::Font, {}, {}, f};
        break;
      }
      case 37: {
        const uint32_t handle = uint32_t(r.I(8));
        if (handle == 0x80000008) {  // NULL_PEN
          TDCPen clear = dc.Pen();
          clear.Style = TDCPenStyle::Clear;
          dc.SetPen(clear);
        } else if (objects.count(int(handle))) {
          const TObject& o = objects[int(handle)];
          if (o.Kind == TObject::Pen) dc.SetPen(o.P);
          else if (o.Kind == TObject::Brush) dc.SetBrush(o.B);
          else dc.SetFont(o.F);
        } else {
          return false;
        }
        break;
      }
      case 40: objects.erase(r.I(8)); break;
      case 24: dc.SetTextColor(TColor(r.I(8))); break;
      case 25: dc.SetBkColor(TColor(r.I(8))); break;
      case 18: dc.SetBkMode(TDCBkMode(r.I(8))); break;
      case 22: dc.SetTextAlign(unsigned(r.I(8))); break;
      case 20: dc.SetRop2(TDCRop2(r.I(8))); break;
      case 17: break;  // map mode: anisotropic, set by the four below
      case 9: mapping.WindowExt = r.Point(8); break;
      case 10: mapping.WindowOrg = r.Point(8); break;
      case 11: mapping.ViewportExt = r.Point(8); break;
      case 12: mapping.ViewportOrg = r.Point(8), dc.SetMapping(mapping); break;
      case 33: dc.PushClip(), ++saved; break;
      case 34:
        if (saved > 0) dc.PopClip(), --saved;
        break;
      case 75:
        if (saved == 0) dc.PopClip();  // no region: clipping removed
        break;
      case 30: dc.ClipRect(r.Rect(8)); break;
      case 59: dc.BeginPath(); break;
      case 60: dc.EndPath(); break;
      case 61: dc.CloseFigure(); break;
      case 67:
        if (r.I(8) == 4) dc.ClipEllipse(pathEllipse, true);  // RGN_DIFF: the ellipse cut out
        else dc.ClipToPath();
        break;
      case 64: dc.StrokePath(); break;
      case 62: dc.FillPath(); break;
      case 63: dc.StrokeAndFillPath(); break;
      case 66: dc.WidenPath(); break;
      case 44: dc.RoundRect(r.Rect(8), r.I(24), r.I(28)); break;
      case 42: dc.Ellipse(pathEllipse = r.Rect(8)); break;
      case 43: dc.Rectangle(r.Rect(8)); break;
      case 3: case 4: {
        std::vector<TPoint> pts(size_t(std::max(0, r.I(24))));
        for (size_t i = 0; i < pts.size(); ++i) pts[i] = r.Point(28 + 8 * int(i));
        if (type == 3) dc.Polygon(pts.data(), int(pts.size()));
        else dc.Polyline(pts.data(), int(pts.size()));
        break;
      }
      case 27: dc.MoveTo(r.I(8), r.I(12)); break;
      case 54: dc.LineTo(r.I(8), r.I(12)); break;
      case 57: clockwise = r.I(8) == 2; break;
      case 45: dc.Arc(r.Rect(8), r.Point(24), r.Point(32)); break;
      case 55: dc.ArcTo(r.Rect(8), r.Point(24), r.Point(32), clockwise); break;
      case 47: dc.Pie(r.Rect(8), r.Point(24), r.Point(32)); break;
      case 76: dc.PatBlt({r.I(24), r.I(28), r.I(24) + r.I(32), r.I(28) + r.I(36)}, Rop3Of(uint32_t(r.I(40)))); break;
      case 81: {
        const QImage img = DibImage(r, r.I(48), r.I(56));
        if (img.isNull()) return false;
        dc.StretchDraw({r.I(24), r.I(28), r.I(24) + r.I(72), r.I(28) + r.I(76)}, img);
        break;
      }
      case 15: dc.SetPixel(r.I(8), r.I(12), TColor(r.I(16))); break;
      case 84: dc.TextOut(r.I(36), r.I(40), r.Utf16(r.I(48), r.I(44))); break;
      default: return false;
    }
    at += size;
  }
  return false;  // no end-of-file record
}

QImage RenderEnhancedMetafile(const QByteArray& emf) {
  const TReader header(emf, 0);
  if (emf.size() < 108 || header.I(0) != 1) return {};
  QImage img(header.I(16) + 1, header.I(20) + 1, QImage::Format_RGB32);
  img.fill(Qt::white);
  bool played;
  {
    TPainterDC dc(&img);
    played = PlayEnhancedMetafile(emf, dc);
  }
  return played ? img : QImage();
}

int DifferingPixels(const QImage& a, const QImage& b, int tolerance) {
  if (a.size() != b.size()) return a.width() * a.height();
  int n = 0;
  for (int y = 0; y < a.height(); ++y)
    for (int x = 0; x < a.width(); ++x) {
      const QRgb p = a.pixel(x, y), q = b.pixel(x, y);
      n += std::abs(qRed(p) - qRed(q)) > tolerance || std::abs(qGreen(p) - qGreen(q)) > tolerance ||
           std::abs(qBlue(p) - qBlue(q)) > tolerance;
    }
  return n;
}
