#include "platform/Metafile.h"

#include <QtEndian>

#include <algorithm>
#include <cstring>

#include "platform/DCSupport.h"
#include "platform/PainterDC.h"

// --- Replay

void ReplayDisplayList(const std::vector<TDCRecord>& list, IDeviceContext& dc) {
  for (const TDCRecord& r : list) {
    const std::vector<int>& a = r.Args;
    auto rect = [&] { return TRect{a[0], a[1], a[2], a[3]}; };
    const TPoint* pts = r.Points.data();
    const int n = int(r.Points.size());
    switch (r.Op) {
      case TDCOp::SetPen: dc.SetPen(r.Pen); break;
      case TDCOp::SetBrush: dc.SetBrush(r.Brush); break;
      case TDCOp::SetFont: dc.SetFont(r.Font); break;
      case TDCOp::SetTextColor: dc.SetTextColor(TColor(a[0])); break;
      case TDCOp::SetBkColor: dc.SetBkColor(TColor(a[0])); break;
      case TDCOp::SetBkMode: dc.SetBkMode(TDCBkMode(a[0])); break;
      case TDCOp::SetTextAlign: dc.SetTextAlign(unsigned(a[0])); break;
      case TDCOp::SetTextCharacterExtra: dc.SetTextCharacterExtra(a[0]); break;
      case TDCOp::SetRop2: dc.SetRop2(TDCRop2(a[0])); break;
      case TDCOp::SetMapping:
        dc.SetMapping({{a[0], a[1]}, {a[2], a[3]}, {a[4], a[5]}, {a[6], a[7]}});
        break;
      case TDCOp::PushClip: dc.PushClip(); break;
      case TDCOp::PopClip: dc.PopClip(); break;
      case TDCOp::ClipRect: dc.ClipRect(rect()); break;
      case TDCOp::ClipRoundRect: dc.ClipRoundRect(rect(), a[4], a[5]); break;
      case TDCOp::ClipPolygon: dc.ClipPolygon(pts, n); break;
      case TDCOp::ClipEllipse: dc.ClipEllipse(rect(), a[4] != 0); break;
      case TDCOp::ClipToPath: dc.ClipToPath(); break;
      case TDCOp::MoveTo: dc.MoveTo(a[0], a[1]); break;
      case TDCOp::LineTo: dc.LineTo(a[0], a[1]); break;
      case TDCOp::Polyline: dc.Polyline(pts, n); break;
      case TDCOp::Polygon: dc.Polygon(pts, n); break;
      case TDCOp::Rectangle: dc.Rectangle(rect()); break;
      case TDCOp::RoundRect: dc.RoundRect(rect(), a[4], a[5]); break;
      case TDCOp::Ellipse: dc.Ellipse(rect()); break;
      case TDCOp::Arc: dc.Arc(rect(), {a[4], a[5]}, {a[6], a[7]}); break;
      case TDCOp::ArcTo: dc.ArcTo(rect(), {a[4], a[5]}, {a[6], a[7]}, a[8] != 0); break;
      case TDCOp::Pie: dc.Pie(rect(), {a[4], a[5]}, {a[6], a[7]}); break;
      case TDCOp::FillRect: dc.FillRect(rect()); break;
      case TDCOp::PatBlt: dc.PatBlt(rect(), TDCRop3(a[4])); break;
      case TDCOp::BitBlt:
        if (!r.Image.isNull()) {  // the kept part of the source starts at its (0, 0)
          QImage source = r.Image;
          TPainterDC src(&source);
          dc.BitBlt(a[0], a[1], a[2], a[3], src, 0, 0, TDCRop3(a[6]));
        }
        break;
      case TDCOp::StretchDraw: dc.StretchDraw(rect(), r.Image); break;
      case TDCOp::SetPixel: dc.SetPixel(a[0], a[1], TColor(a[2])); break;
      case TDCOp::TextOut: dc.TextOut(a[0], a[1], r.Text); break;
      case TDCOp::BeginPath: dc.BeginPath(); break;
      case TDCOp::EndPath: dc.EndPath(); break;
      case TDCOp::CloseFigure: dc.CloseFigure(); break;
      case TDCOp::StrokePath: dc.StrokePath(); break;
      case TDCOp::FillPath: dc.FillPath(); break;
      case TDCOp::StrokeAndFillPath: dc.StrokeAndFillPath(); break;
      case TDCOp::WidenPath: dc.WidenPath(); break;
    }
  }
}

// --- Shared by both writers

namespace {

class TBytes {
 public:
  QByteArray Data;
  void U8(unsigned v) { Data.append(char(v & 0xFF)); }
  void U16(unsigned v) { U8(v), U8(v >> 8); }
  void U32(uint32_t v) { U16(v & 0xFFFF), U16(v >> 16); }
  void I32(int v) { U32(uint32_t(v)); }
  void Rect(const TRect& r) { I32(r.Left), I32(r.Top), I32(r.Right), I32(r.Bottom); }
  void Pad4() {
    while (Data.size() % 4) U8(0);
  }
  void PatchU32(qsizetype at, uint32_t v) { qToLittleEndian<uint32_t>(v, Data.data() + at); }
  qsizetype Size() const { return Data.size(); }
};

// GDI codes of the device-context enumerations.
uint32_t PenStyleCode(TDCPenStyle s) {
  switch (s) {
    case TDCPenStyle::Solid: return 0;
    case TDCPenStyle::Dash: return 1;
    case TDCPenStyle::Dot: case TDCPenStyle::Alternate: return 2;
    case TDCPenStyle::DashDot: return 3;
    case TDCPenStyle::DashDotDot: return 4;
    case TDCPenStyle::Clear: return 5;
    case TDCPenStyle::InsideFrame: return 6;
  }
  return 0;
}

// Brush style (solid 0, null 1, hatched 2) and hatch index.
std::pair<uint32_t, uint32_t> BrushCode(const TDCBrush& b) {
  switch (b.Style) {
    case TDCBrushStyle::Clear: return {1, 0};
    case TDCBrushStyle::Solid: case TDCBrushStyle::Pattern: return {0, 0};
    default: return {2, uint32_t(int(b.Style) - int(TDCBrushStyle::Horizontal))};
  }
}

uint32_t Rop3Code(TDCRop3 rop) {
  static constexpr uint32_t kCodes[] = {0x00CC0020, 0x00660046, 0x008800C6, 0x00EE0086, 0x00F00021,
                                        0x005A0049, 0x00550009, 0x00000042, 0x00FF0062};
  return kCodes[int(rop)];
}

TRect Bounds(const std::vector<TPoint>& pts) {
  if (pts.empty()) return {};
  TRect b{pts[0].X, pts[0].Y, pts[0].X, pts[0].Y};
  for (const TPoint& p : pts) {
    b.Left = std::min(b.Left, p.X), b.Right = std::max(b.Right, p.X);
    b.Top = std::min(b.Top, p.Y), b.Bottom = std::max(b.Bottom, p.Y);
  }
  return b;
}

// A device-independent bitmap: 24-bit, bottom-up rows padded to four bytes.
QByteArray DibInfo(const QImage& img) {
  TBytes b;
  b.U32(40), b.I32(img.width()), b.I32(img.height()), b.U16(1), b.U16(24), b.U32(0);
  b.U32(0), b.I32(3780), b.I32(3780), b.U32(0), b.U32(0);
  return b.Data;
}

QByteArray DibBits(const QImage& source) {
  const QImage img = source.convertToFormat(QImage::Format_RGB32);
  const int stride = (img.width() * 3 + 3) & ~3;
  QByteArray bits(qsizetype(stride) * img.height(), '\0');
  for (int y = 0; y < img.height(); ++y) {
    const QRgb* line = reinterpret_cast<const QRgb*>(img.constScanLine(img.height() - 1 - y));
    char* out = bits.data() + qsizetype(y) * stride;
    for (int x = 0; x < img.width(); ++x) {
      out[3 * x] = char(qBlue(line[x])), out[3 * x + 1] = char(qGreen(line[x])), out[3 * x + 2] = char(qRed(line[x]));
    }
  }
  return bits;
}

// What both writers share: the dispatch of the attribute calls and the
// attributes a restored device state loses, which are put back after it.
class TEncoder {
 public:
  virtual ~TEncoder() = default;

 protected:
  static constexpr TDCOp kKept[] = {TDCOp::SetTextColor, TDCOp::SetBkColor, TDCOp::SetBkMode, TDCOp::SetTextAlign,
                                    TDCOp::SetTextCharacterExtra, TDCOp::SetRop2};
  virtual void SelectPen(const TDCPen& pen) = 0;
  virtual void SelectBrush(const TDCBrush& brush) = 0;
  virtual void SelectFont(const TDCFont& font) = 0;
  virtual void ReselectObjects() = 0;
  virtual void Attribute(TDCOp op, int value) = 0;  // one of kKept
  virtual void Draw(const TDCRecord& r) = 0;        // every other call
  virtual void StretchDib(const TRect& dest, const QImage& img, TDCRop3 rop) = 0;

  void Record(const TDCRecord& r) {
    const std::vector<int>& a = r.Args;
    switch (r.Op) {
      case TDCOp::SetPen: SelectPen(r.Pen); break;
      case TDCOp::SetBrush: SelectBrush(r.Brush); break;
      case TDCOp::SetFont: SelectFont(r.Font); break;
      case TDCOp::BitBlt:  // the kept part of the source
        if (!r.Image.isNull()) StretchDib({a[0], a[1], a[0] + a[2], a[1] + a[3]}, r.Image, TDCRop3(a[6]));
        break;
      case TDCOp::StretchDraw:
        if (!r.Image.isNull()) StretchDib({a[0], a[1], a[2], a[3]}, r.Image, TDCRop3::SrcCopy);
        break;
      default: {
        const auto kept = std::find(std::begin(kKept), std::end(kKept), r.Op);
        if (kept == std::end(kKept)) return Draw(r);
        values_[kept - std::begin(kKept)] = a[0];
        Attribute(r.Op, a[0]);
      }
    }
  }
  void PutBackState() {
    ReselectObjects();
    for (size_t i = 0; i < std::size(kKept); ++i) Attribute(kKept[i], values_[i]);
  }

  TBytes out_;
  qsizetype start_ = 0;
  int depth_ = 0;  // saved device states

 private:
  int values_[std::size(kKept)] = {int(clBlack), int(clWhite), int(TDCBkMode::Opaque), 0, 0, int(TDCRop2::CopyPen)};
};

// --- Enhanced metafile

class TEmfWriter final : public TEncoder {
 public:
  explicit TEmfWriter(const TDisplayList& list) : list_(list) {}

  QByteArray Write() {
    const TSize s{std::max(1, list_.Size.cx), std::max(1, list_.Size.cy)};
    Header(s);
    // Slots 1..6: two each for pen, brush and font, so a new object can be
    // selected before the old one is deleted.
    SelectPen(TDCPen{});
    SelectBrush(TDCBrush{});
    SelectFont(TDCFont{});
    for (const TDCRecord& r : list_.Records) Record(r);
    Begin(14), out_.U32(0), out_.U32(16), out_.U32(20), End();  // EOF, nSizeLast last
    out_.PatchU32(48, uint32_t(out_.Size()));
    out_.PatchU32(52, records_);
    return out_.Data;
  }

 private:
  void Begin(uint32_t type) {
    start_ = out_.Size();
    out_.U32(type), out_.U32(0);
  }
  void End() {
    out_.Pad4();
    out_.PatchU32(start_ + 4, uint32_t(out_.Size() - start_));
    ++records_;
  }
  void Simple(uint32_t type, std::initializer_list<int> values) {
    Begin(type);
    for (int v : values) out_.I32(v);
    End();
  }

  void Header(TSize s) {
    constexpr int kDevW = 1920, kDevH = 1080, kMmW = 508, kMmH = 286;
    const QByteArray desc = QByteArrayLiteral("Fenwisk\0Chart\0\0");
    Begin(1);
    out_.Rect({0, 0, s.cx - 1, s.cy - 1});
    out_.Rect({0, 0, s.cx * 2540 / 96 - 1, s.cy * 2540 / 96 - 1});  // .01 mm
    out_.U32(0x464D4520), out_.U32(0x10000);
    out_.U32(0), out_.U32(0);  // nBytes, nRecords: patched at the end
    out_.U16(7), out_.U16(0);  // handles: the stock slot 0 and six of ours
    out_.U32(uint32_t(desc.size())), out_.U32(108);  // characters
    out_.U32(0);  // palette entries
    out_.I32(kDevW), out_.I32(kDevH), out_.I32(kMmW), out_.I32(kMmH);
    out_.U32(0), out_.U32(0), out_.U32(0);       // no pixel format, no OpenGL
    out_.I32(kMmW * 1000), out_.I32(kMmH * 1000);  // micrometres
    for (char c : desc) out_.U8(uint8_t(c)), out_.U8(0);
    End();
  }

  int Swap(int& slot, int base) { return slot = slot == base ? base + 1 : base; }
  void Select(int slot) { Simple(37, {slot}); }
  void Delete(int slot) {
    if (slot) Simple(40, {slot});
  }

  void SelectPen(const TDCPen& p) {
    const int old = pen_;
    Begin(38), out_.U32(Swap(pen_, 1)), out_.U32(PenStyleCode(p.Style)), out_.I32(p.Width), out_.I32(0);
    out_.U32(ColorToRGB(p.Color)), End();
    Select(pen_), Delete(old);
  }
  void SelectBrush(const TDCBrush& b) {
    const int old = brush_;
    const auto [style, hatch] = BrushCode(b);
    Begin(39), out_.U32(Swap(brush_, 3)), out_.U32(style), out_.U32(ColorToRGB(b.Color)), out_.U32(hatch), End();
    Select(brush_), Delete(old);
  }
  void SelectFont(const TDCFont& f) {
    const int old = font_;
    font_desc_ = f;
    Begin(82), out_.U32(Swap(font_, 5));
    out_.I32(f.Height), out_.I32(0), out_.I32(f.Escapement), out_.I32(f.Escapement), out_.I32(f.Weight);
    out_.U8(f.Italic), out_.U8(f.Underline), out_.U8(f.StrikeOut), out_.U8(1);  // DEFAULT_CHARSET
    out_.U8(0), out_.U8(0), out_.U8(0), out_.U8(0);
    for (int i = 0; i < 32; ++i) out_.U16(i < int(f.Name.size()) && i < 31 ? uint8_t(f.Name[i]) : 0);
    End();
    Select(font_), Delete(old);
  }
  void ReselectObjects() override { Select(pen_), Select(brush_), Select(font_); }
  void Attribute(TDCOp op, int v) override {
    switch (op) {
      case TDCOp::SetTextColor: Simple(24, {int(ColorToRGB(v))}); break;
      case TDCOp::SetBkColor: Simple(25, {int(ColorToRGB(v))}); break;
      case TDCOp::SetBkMode: Simple(18, {v}); break;
      case TDCOp::SetTextAlign: Simple(22, {v}); break;
      case TDCOp::SetRop2: Simple(20, {v}); break;
      default: extra_ = v; break;  // no record: carried by the text's advances
    }
  }
  void Poly(uint32_t type, const std::vector<TPoint>& pts) {
    Begin(type), out_.Rect(Bounds(pts)), out_.U32(uint32_t(pts.size()));
    for (const TPoint& p : pts) out_.I32(p.X), out_.I32(p.Y);
    End();
  }
  // A figure made the clip through a path (RGN_AND 1, RGN_DIFF 4).
  template <class F>
  void ClipFigure(F&& figure, int mode) {
    Simple(59, {});
    figure();
    Simple(60, {});
    Simple(67, {mode});
  }
  void StretchDib(const TRect& dest, const QImage& img, TDCRop3 rop) override {
    const QByteArray info = DibInfo(img), bits = DibBits(img);
    Begin(81), out_.Rect(dest);
    out_.I32(dest.Left), out_.I32(dest.Top), out_.I32(0), out_.I32(0), out_.I32(img.width()), out_.I32(img.height());
    out_.U32(80), out_.U32(uint32_t(info.size())), out_.U32(uint32_t(80 + info.size())), out_.U32(uint32_t(bits.size()));
    out_.U32(0), out_.U32(Rop3Code(rop)), out_.I32(dest.Width()), out_.I32(dest.Height());
    out_.Data.append(info), out_.Data.append(bits);
    End();
  }
  void Text(const TDCRecord& r) {
    const auto font = ResolveFont(font_desc_);
    const QString text = Latin1(r.Text);
    const int n = int(text.size());
    const int offString = 76, offDx = offString + ((n * 2 + 3) & ~3);
    Begin(84), out_.Rect({0, 0, -1, -1}), out_.U32(1), out_.U32(0), out_.U32(0);
    out_.I32(r.Args[0]), out_.I32(r.Args[1]), out_.U32(uint32_t(n)), out_.U32(offString), out_.U32(0);
    out_.Rect({0, 0, -1, -1}), out_.U32(uint32_t(offDx));
    for (QChar c : text) out_.U16(c.unicode());
    out_.Pad4();
    for (int i = 0; i < n; ++i) out_.I32(TextWidth(*font, r.Text.substr(i, 1), extra_));
    End();
  }

  void Draw(const TDCRecord& r) override {
    const std::vector<int>& a = r.Args;
    auto rect = [&] { return TRect{a[0], a[1], a[2], a[3]}; };
    switch (r.Op) {
      case TDCOp::SetMapping:
        Simple(17, {8});  // MM_ANISOTROPIC
        Simple(9, {a[2], a[3]}), Simple(10, {a[0], a[1]}), Simple(11, {a[6], a[7]}), Simple(12, {a[4], a[5]});
        break;
      case TDCOp::PushClip: Simple(33, {}), ++depth_; break;
      case TDCOp::PopClip:
        if (depth_ > 0) {
          Simple(34, {-1}), --depth_;
          PutBackState();
        } else {
          Simple(75, {0, 5});  // no region, RGN_COPY: clipping removed
        }
        break;
      case TDCOp::ClipRect: Begin(30), out_.Rect(rect()), End(); break;
      case TDCOp::ClipRoundRect:
        ClipFigure([&] { Begin(44), out_.Rect(rect()), out_.I32(a[4]), out_.I32(a[5]), End(); }, 1);
        break;
      case TDCOp::ClipPolygon: ClipFigure([&] { Poly(3, r.Points); }, 1); break;
      case TDCOp::ClipEllipse: ClipFigure([&] { Begin(42), out_.Rect(rect()), End(); }, a[4] ? 4 : 1); break;
      case TDCOp::ClipToPath: Simple(67, {1}); break;
      case TDCOp::MoveTo: Simple(27, {a[0], a[1]}); break;
      case TDCOp::LineTo: Simple(54, {a[0], a[1]}); break;
      case TDCOp::Polyline: Poly(4, r.Points); break;
      case TDCOp::Polygon: Poly(3, r.Points); break;
      case TDCOp::Rectangle: Begin(43), out_.Rect(rect()), End(); break;
      case TDCOp::RoundRect: Begin(44), out_.Rect(rect()), out_.I32(a[4]), out_.I32(a[5]), End(); break;
      case TDCOp::Ellipse: Begin(42), out_.Rect(rect()), End(); break;
      case TDCOp::Arc: Simple(45, {a[0], a[1], a[2], a[3], a[4], a[5], a[6], a[7]}); break;
      case TDCOp::ArcTo:
        if (a[8]) Simple(57, {2});  // AD_CLOCKWISE
        Simple(55, {a[0], a[1], a[2], a[3], a[4], a[5], a[6], a[7]});
        if (a[8]) Simple(57, {1});
        break;
      case TDCOp::Pie: Simple(47, {a[0], a[1], a[2], a[3], a[4], a[5], a[6], a[7]}); break;
      case TDCOp::FillRect:
        // A clear pen fills one pixel less on the right and at the bottom.
        Simple(37, {int(0x80000008)});  // NULL_PEN
        Simple(43, {a[0], a[1], a[2] + 1, a[3] + 1});
        Select(pen_);
        break;
      case TDCOp::PatBlt:
        Begin(76), out_.Rect(rect()), out_.I32(a[0]), out_.I32(a[1]), out_.I32(a[2] - a[0]), out_.I32(a[3] - a[1]);
        out_.U32(Rop3Code(TDCRop3(a[4]))), out_.I32(0), out_.I32(0);
        for (float f : {1.f, 0.f, 0.f, 1.f, 0.f, 0.f}) {
          uint32_t bits;
          std::memcpy(&bits, &f, 4);
          out_.U32(bits);
        }
        for (int i = 0; i < 6; ++i) out_.U32(0);
        End();
        break;
      case TDCOp::SetPixel: Simple(15, {a[0], a[1], int(ColorToRGB(a[2]))}); break;
      case TDCOp::TextOut: Text(r); break;
      case TDCOp::BeginPath: Simple(59, {}); break;
      case TDCOp::EndPath: Simple(60, {}); break;
      case TDCOp::CloseFigure: Simple(61, {}); break;
      case TDCOp::StrokePath: Begin(64), out_.Rect({0, 0, -1, -1}), End(); break;
      case TDCOp::FillPath: Begin(62), out_.Rect({0, 0, -1, -1}), End(); break;
      case TDCOp::StrokeAndFillPath: Begin(63), out_.Rect({0, 0, -1, -1}), End(); break;
      case TDCOp::WidenPath: Simple(66, {}); break;
      default: break;  // attributes and pictures: TEncoder::Record
    }
  }

  const TDisplayList& list_;
  uint32_t records_ = 0;
  int pen_ = 0, brush_ = 0, font_ = 0, extra_ = 0;
  TDCFont font_desc_;
};

// --- Plain metafile

class TWmfWriter final : public TEncoder {
 public:
  explicit TWmfWriter(const TDisplayList& list) : list_(list) {}

  QByteArray Write() {
    const TSize s{std::max(1, list_.Size.cx), std::max(1, list_.Size.cy)};
    // Placeable header: key, no handle, bounds, units per inch, checksum.
    out_.U32(0x9AC6CDD7), out_.U16(0);
    out_.U16(0), out_.U16(0), out_.U16(uint16_t(s.cx)), out_.U16(uint16_t(s.cy));
    out_.U16(96), out_.U32(0);
    out_.U16(PlaceableChecksum(reinterpret_cast<const uint8_t*>(out_.Data.constData())));
    // Metafile header: memory metafile, version 3; sizes patched at the end.
    out_.U16(1), out_.U16(9), out_.U16(0x0300), out_.U32(0), out_.U16(kSlots), out_.U32(0), out_.U16(0);
    Rec(0x020B, {0, 0});                                      // window origin (y, x)
    Rec(0x020C, {int16_t(s.cy), int16_t(s.cx)});             // window extent (y, x)
    SelectPen(TDCPen{}), SelectBrush(TDCBrush{}), SelectFont(TDCFont{});
    for (const TDCRecord& r : list_.Records) Record(r);
    Rec(0x0000, {});
    out_.PatchU32(kPlaceable + 6, uint32_t((out_.Size() - kPlaceable) / 2));
    out_.PatchU32(kPlaceable + 12, maxRecord_);
    return out_.Data;
  }

 private:
  static constexpr int kPlaceable = 22, kSlots = 6;

  void Begin(unsigned function) {
    start_ = out_.Size();
    out_.U32(0), out_.U16(function);
  }
  void End() {
    if (out_.Size() % 2) out_.U8(0);
    const uint32_t words = uint32_t((out_.Size() - start_) / 2);
    out_.PatchU32(start_, words);
    maxRecord_ = std::max(maxRecord_, words);
  }
  void Rec(unsigned function, std::initializer_list<int> words) {
    Begin(function);
    for (int w : words) out_.U16(uint16_t(w));
    End();
  }
  void Color(TColor c) { out_.U32(ColorToRGB(c)); }

  // Objects take the lowest free slot, as a player allots them.
  int Create() {
    for (int i = 0; i < kSlots; ++i)
      if (!used_[i]) return used_[i] = true, i;
    return kSlots - 1;
  }
  void Replace(int& held, int fresh) {
    Rec(0x012D, {fresh});
    if (held >= 0) Rec(0x01F0, {held}), used_[held] = false;
    held = fresh;
  }
  void SelectPen(const TDCPen& p) {
    const int slot = Create();
    Begin(0x02FA), out_.U16(PenStyleCode(p.Style)), out_.U16(p.Width), out_.U16(0), Color(p.Color), End();
    Replace(pen_, slot);
  }
  void SelectBrush(const TDCBrush& b) {
    const int slot = Create();
    const auto [style, hatch] = BrushCode(b);
    Begin(0x02FC), out_.U16(style), Color(b.Color), out_.U16(hatch), End();
    Replace(brush_, slot);
  }
  void SelectFont(const TDCFont& f) {
    const int slot = Create();
    Begin(0x02FB);
    out_.U16(uint16_t(f.Height)), out_.U16(0), out_.U16(f.Escapement), out_.U16(f.Escapement), out_.U16(f.Weight);
    out_.U8(f.Italic), out_.U8(f.Underline), out_.U8(f.StrikeOut), out_.U8(1), out_.U8(0), out_.U8(0), out_.U8(0), out_.U8(0);
    for (int i = 0; i < 32; ++i) out_.U8(i < int(f.Name.size()) && i < 31 ? uint8_t(f.Name[i]) : 0);
    End();
    Replace(font_, slot);
  }
  void RectRec(unsigned function, const TRect& r, std::initializer_list<int> before = {}) {
    Begin(function);
    for (int w : before) out_.U16(uint16_t(w));
    out_.U16(uint16_t(r.Bottom)), out_.U16(uint16_t(r.Right)), out_.U16(uint16_t(r.Top)), out_.U16(uint16_t(r.Left));
    End();
  }
  void Poly(unsigned function, const std::vector<TPoint>& pts) {
    Begin(function), out_.U16(uint16_t(pts.size()));
    for (const TPoint& p : pts) out_.U16(uint16_t(p.X)), out_.U16(uint16_t(p.Y));
    End();
  }
  void ArcRec(unsigned function, const std::vector<int>& a) {
    Begin(function);
    for (int i : {7, 6, 5, 4, 3, 2, 1, 0}) out_.U16(uint16_t(a[i]));
    End();
  }
  void StretchDib(const TRect& dest, const QImage& img, TDCRop3 rop) override {
    Begin(0x0F43), out_.U32(Rop3Code(rop)), out_.U16(0);
    for (int w : {img.height(), img.width(), 0, 0, dest.Height(), dest.Width(), dest.Top, dest.Left})
      out_.U16(uint16_t(w));
    out_.Data.append(DibInfo(img)), out_.Data.append(DibBits(img));
    End();
  }

  void ReselectObjects() override { Rec(0x012D, {pen_}), Rec(0x012D, {brush_}), Rec(0x012D, {font_}); }
  void Attribute(TDCOp op, int v) override {
    switch (op) {
      case TDCOp::SetTextColor: Begin(0x0209), Color(v), End(); break;
      case TDCOp::SetBkColor: Begin(0x0201), Color(v), End(); break;
      case TDCOp::SetBkMode: Rec(0x0102, {v}); break;
      case TDCOp::SetTextAlign: Rec(0x012E, {v}); break;
      case TDCOp::SetRop2: Rec(0x0104, {v}); break;
      default: Rec(0x0108, {v}); break;  // character extra
    }
  }

  void Draw(const TDCRecord& r) override {
    const std::vector<int>& a = r.Args;
    auto rect = [&] { return TRect{a[0], a[1], a[2], a[3]}; };
    switch (r.Op) {
      case TDCOp::SetMapping: break;  // a picture's frame is its placeable bounds
      case TDCOp::PushClip: Rec(0x001E, {}), ++depth_; break;
      case TDCOp::PopClip:
        if (depth_ == 0) break;
        Rec(0x0127, {-1}), --depth_;
        PutBackState();
        break;
      case TDCOp::ClipRect: case TDCOp::ClipRoundRect: case TDCOp::ClipEllipse:
        if (r.Op != TDCOp::ClipEllipse || !a[4]) RectRec(0x0416, rect());
        break;
      case TDCOp::ClipPolygon: {
        const TRect b = Bounds(r.Points);
        RectRec(0x0416, {b.Left, b.Top, b.Right + 1, b.Bottom + 1});
        break;
      }
      case TDCOp::MoveTo: Rec(0x0214, {a[1], a[0]}); break;
      case TDCOp::LineTo: Rec(0x0213, {a[1], a[0]}); break;
      case TDCOp::Polyline: Poly(0x0325, r.Points); break;
      case TDCOp::Polygon: Poly(0x0324, r.Points); break;
      case TDCOp::Rectangle: RectRec(0x041B, rect()); break;
      case TDCOp::RoundRect: RectRec(0x061C, rect(), {a[5], a[4]}); break;
      case TDCOp::Ellipse: RectRec(0x0418, rect()); break;
      case TDCOp::Arc: case TDCOp::ArcTo: ArcRec(0x0817, a); break;
      case TDCOp::Pie: ArcRec(0x081A, a); break;
      case TDCOp::FillRect: {
        const int slot = Create();  // a null pen for the fill, then the pen again
        Begin(0x02FA), out_.U16(5), out_.U16(0), out_.U16(0), Color(0), End();
        Rec(0x012D, {slot});
        RectRec(0x041B, {a[0], a[1], a[2] + 1, a[3] + 1});
        Rec(0x012D, {pen_}), Rec(0x01F0, {slot}), used_[slot] = false;
        break;
      }
      case TDCOp::PatBlt:
        Begin(0x061D), out_.U32(Rop3Code(TDCRop3(a[4])));
        for (int w : {a[3] - a[1], a[2] - a[0], a[1], a[0]}) out_.U16(uint16_t(w));
        End();
        break;
      case TDCOp::SetPixel: Begin(0x041F), Color(a[2]), out_.U16(a[1]), out_.U16(a[0]), End(); break;
      case TDCOp::TextOut:
        Begin(0x0521), out_.U16(uint16_t(r.Text.size()));
        for (char c : r.Text) out_.U8(uint8_t(c));
        if (r.Text.size() % 2) out_.U8(0);
        out_.U16(uint16_t(a[1])), out_.U16(uint16_t(a[0]));
        End();
        break;
      default: break;  // paths and path clips: see the header
    }
  }

  const TDisplayList& list_;
  uint32_t maxRecord_ = 3;
  bool used_[kSlots] = {};
  int pen_ = -1, brush_ = -1, font_ = -1;
};

}  // namespace

uint16_t PlaceableChecksum(const uint8_t* header) {
  uint16_t sum = 0;
  for (int i = 0; i < 10; ++i) sum ^= uint16_t(header[2 * i] | (header[2 * i + 1] << 8));
  return sum;
}

QByteArray EnhancedMetafileBytes(const TDisplayList& list) { return TEmfWriter(list).Write(); }

QByteArray PlainMetafileBytes(const TDisplayList& list) { return TWmfWriter(list).Write(); }
