#include "chart/Chart.h"

#include <QMouseEvent>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>

#include "chart/ChartConst.h"
#include "chart/ChartProcs.h"

bool ChartWheelScrolls = true;
double ChartAnimatedZoomFactor = 3.0;

// --- Titles

TChartTitle::TChartTitle(TCustomChart* chart, bool foot) : TChartCustomShape(chart), foot_(foot) {
  Transparent = true;
  Font().SetColor(foot ? TColor(0x0000FF) : TColor(0xFF0000));
  if (foot) Font().SetStyle(fsItalic);
}

void TChartTitle::DrawTitle(TChartCanvas3D& c, TRect& area) {
  ShapeBounds = {};
  if (!Visible() || Text.empty()) return;
  int f = Pen().Visible() && Pen().Color() != clDefault ? Pen().Width() : 0;
  if (Bevel != bvNone) f = BevelWidth;
  TRect r = CustomPosition ? TRect{Left, Top, Left, Top} : area;
  if (!CustomPosition && !foot_) r.Top += f;
  c.PrepareFont(Font());
  const int h = c.FontPixelHeight(), lines = int(Text.size());
  if (foot_ && !CustomPosition) r.Top = r.Bottom - h * lines;
  else r.Bottom = r.Top + h * lines;
  if (!CustomPosition) r = {r.Left - f, r.Top - f, r.Right + f, r.Bottom + f};
  const int m = c.TextWidth("W");
  if (AdjustFrame) {
    int widest = 0;
    for (const std::string& line : Text) widest = std::max(widest, c.TextWidth(line));
    const int w = widest + m + f;
    if (Alignment == taLeftJustify) r.Right = r.Left + w;
    else if (Alignment == taRightJustify) r.Left = r.Right - w;
    else {
      const int mid = (r.Left + r.Right) / 2;
      r.Left = mid - w / 2, r.Right = mid + w / 2;
    }
  }
  PaintRotatedShape(c, r, 0);
  c.SetBackgroundMode(cbmTransparent);
  c.PrepareFont(Font());
  WriteAlignedLines(c, r, Text, Alignment, h, m);
  ShapeBounds = r;
  if (CustomPosition) return;
  const int gap = 5 + f + (Transparent || !HasShadow() ? 0 : Shadow().Size());
  if (foot_) area.Bottom = r.Bottom - gap - h * lines;
  else area.Top = r.Bottom + gap;
}

bool TChartTitle::Clicked(int x, int y) const {
  return Visible() && !ShapeBounds.IsEmpty() && PointInRect(ShapeBounds, {x, y});
}

void WriteAlignedLines(TChartCanvas3D& c, const TRect& r, const std::vector<std::string>& lines,
                       TTitleAlignment alignment, int h, int m) {
  for (size_t i = 0; i < lines.size(); ++i) {
    const int tw = c.TextWidth(lines[i]);
    const int x = alignment == taLeftJustify    ? r.Left + m / 2
                  : alignment == taRightJustify ? r.Right - tw - m / 2
                                                : (r.Left + r.Right) / 2 - tw / 2;
    c.TextOut(x, r.Top + int(i) * h, lines[i]);
  }
}

// --- The legend's title

TLegendTitle::TLegendTitle(TCustomChart* chart) : TChartCustomShape(chart) {
  Transparent = true;
  Font().SetStyle(fsBold);
  SetShadowDefaults(TColor(0xC0C0C0), 2);
}

TSize TLegendTitle::Measure(TChartCanvas3D& c) {
  c.PrepareFont(Font());
  int widest = 0;
  for (const std::string& line : Text) widest = std::max(widest, c.TextWidth(line));
  TSize size{widest + c.TextWidth("W"), c.FontPixelHeight() * int(Text.size())};
  if (!Transparent) size.cx += 2 * FrameWidth() + Shadow().Size(), size.cy += 2 + 2 * FrameWidth();
  return size;
}

int TLegendTitle::Room(TChartCanvas3D& c) {
  return Measure(c).cy + 2 + (Transparent ? 0 : std::abs(Shadow().VertSize()));
}

void TLegendTitle::Draw(TChartCanvas3D& c, const TRect& box) {
  const TSize size = Measure(c);
  // The shadow stays inside the room the layout gave the title.
  const TRect r{box.Left, box.Top, box.Right - (Transparent ? 0 : std::abs(Shadow().HorizSize())), box.Top + size.cy};
  PaintRotatedShape(c, r, 0);
  c.SetBackgroundMode(cbmTransparent);
  c.PrepareFont(Font());
  const int f = FrameWidth(), inset = Transparent ? 0 : 1 + f;
  WriteAlignedLines(c, {r.Left + f, r.Top + inset, r.Right - f, r.Bottom - inset}, Text, TextAlignment,
                    c.FontPixelHeight(), c.TextWidth("W"));
}

// --- Legend and walls

TChartLegend::TChartLegend(TCustomChart* chart) : TChartCustomShape(chart), title_(chart) {
  Gradient().SetDirection(gdRightLeft);
  Gradient().SetStartColor(TColor(12632256));
  Gradient().SetEndColor(TColor(16777215));
}

void TChartLegend::SetFirstValue(int v) {
  if (v < 0) throw LegendException(ChartConst::Msg(ChartConst::cmFirstLegendValueMustBe0));
  Update(firstValue_, v);
}

void TChartLegend::SetCheckBoxesStyle(TCheckBoxesStyle v) {
  if (checkBoxesStyle_ == v) return;
  checkBoxesStyle_ = v;
  if (auto* chart = dynamic_cast<TCustomAxisPanel*>(ParentChart()); chart && v == cbsRadio) {
    bool kept = false;
    for (TChartSeries* s : chart->SeriesList())
      if (s->ShowInLegend() && s->Active()) {
        if (kept) s->SetActive(false);
        kept = true;
      }
  }
  Changed();
}

int TChartLegend::LegendItemAt(int x, int y) const {
  const TLegendLayout& l = Layout;
  if (l.Box.IsEmpty() || !PointInRect(l.Box, {x, y}) || l.RowHeight <= 0) return -1;
  int row = -1;
  for (int r = 0; r < l.Rows && row < 0; ++r) {  // the upper row wins a shared edge
    const int top = l.ItemsTop + 1 + l.RowHeight * r;
    if (y >= top && y <= top + l.RowHeight) row = Inverted ? l.Rows - 1 - r : r;
  }
  if (row < 0) return -1;
  if (Alignment == laLeft || Alignment == laRight) return row < l.TotalItems ? FirstValue() + row : -1;
  if (l.Columns <= 0) return -1;
  const int cw = (l.Box.Right - l.Box.Left) / l.Columns;
  int column = -1;
  for (int c = 0; c < l.Columns; ++c) {  // the later column wins a shared edge
    const int left = l.Box.Left + 1 + c * cw;
    if (x >= left && x <= left + cw) column = Inverted ? l.Columns - 1 - c : c;
  }
  if (column < 0) return -1;
  const int item = l.Columns * row + column;
  return item <= l.TotalItems - 1 ? FirstValue() + item : -1;
}

TChartWall::TChartWall(TCustomChart* chart, TColor color) : TChartCustomShape(chart) { Color = color; }

std::string TCustomChart::LegendValueText(TChartSeries& series, int valueIndex) const {
  if (valueIndex < 0 || valueIndex >= series.Count()) return {};
  std::string text = series.LegendTextAt(valueIndex, legend_->TextStyle);
  std::replace(text.begin(), text.end(), '\r', ' ');
  return text;
}

// --- Palettes

const std::vector<TColorPalette>& ColorPalettes() {
  static const std::vector<TColorPalette> palettes = {
      {"Orvandel", {}},
      {"Excel", {0xFF9999, 0x663399, 0xCCFFFF, 0xFFFFCC, 0x660066, 0x8080FF, 0xCC6600, 0xFFCCCC, 0x800000, 0xFF00FF,
                 0x00FFFF, 0xFFFF00, 0x800080, 0x000080, 0x808000, 0xFF0000, 0xFFCC00, 0xFFFFCC, 0xCCFFCC, 0x00FFFF,
                 0xFFCC99, 0xCC99FF}},
      {"Victorian",
       {0xA1A55D, 0x3153C4, 0x0996E7, 0x4AE8F6, 0xA7A2B1, 0x84A7C9, 0x51798C, 0xB7CDD8, 0x536508, 0x7BD8F7, 0x846401}},
      {"Pastels", {0xFFFFCC, 0xCCFFFF, 0xFFCCCC, 0xCCCC00, 0xCCCCCC, 0x999900, 0x999999, 0xCCCCFF, 0x66CCFF, 0xFFCCCC,
                   0x9999FF, 0x99FFFF, 0xFFCC99, 0xCCFFCC}},
      {"Solid", {0xFF0000, 0x0000FF, 0x00FF00, 0x00CCFF, 0x404040, 0x00FFFF, 0xC000FF, 0xFFFFFF}},
      {"Classic", {0xFF0000, 0x00FF00, 0xFFFF00, 0x0000FF, 0xFF00FF, 0x00FFFF, 0x800000, 0x008000, 0x808000, 0x000080,
                   0x800080, 0x008080}},
      {"Web", {0x00A5FF, 0xCE0000, 0x00CE00, 0x40FFFF, 0xFFFF40, 0xFF40FF, 0x0040FF, 0xA58080, 0x408080}},
      {"Modern", {0x6699FF, 0x6666FF, 0xFFCC99, 0x669966, 0x99CCCC, 0xCC6699, 0x6666CC, 0x99CCFF, 0xFF6699, 0xCCCCCC,
                  0xCCFF66, 0xFF9966, 0x996699, 0xFFCCCC}},
      {"Rainbow", {0x000099, 0x0000C3, 0x0000EE, 0x001AFF, 0x0046FF, 0x0073FF, 0x009FFF, 0x00CBFF, 0x00F7FF,
                   0x08F4E3, 0x11E7C3, 0x1BDAA3, 0x25CD83, 0x2EC063, 0x38B342, 0x42A622, 0x4B9A02, 0x6A870C,
                   0x8A751A, 0xAA6328, 0xCB5036, 0xEB3E44, 0xFF2A61, 0xFF1596, 0xFF00CC}},
      {"Win. XP", {0xFE9B82, 0x24D1FC, 0x0DBC7C, 0x2F85FD, 0xFCFEFD, 0x214EE2, 0xD63829, 0x0094B7, 0x00865A,
                   0x0046D2, 0xFAE5D3, 0xD8D8D8, 0x7B715F}},
  };
  return palettes;
}

// --- The chart

TCustomChart::TCustomChart()
    : title_(std::make_unique<TChartTitle>(this, false)),
      subTitle_(std::make_unique<TChartTitle>(this, false)),
      foot_(std::make_unique<TChartTitle>(this, true)),
      subFoot_(std::make_unique<TChartTitle>(this, true)),
      legend_(std::make_unique<TChartLegend>(this)),
      backWall_(std::make_unique<TChartWall>(this, TColor(0xC0C0C0))),
      leftWall_(std::make_unique<TChartWall>(this, TColor(0x80FFFF))),
      bottomWall_(std::make_unique<TChartWall>(this, TColor(0xFFFFFF))),
      rightWall_(std::make_unique<TChartWall>(this, TColor(0xC0C0C0))) {
  backWall_->Transparent = true;
  rightWall_->SetVisible(false);
}

TCustomChart::~TCustomChart() = default;

TChartSeries* TCustomChart::GetSeries(int i) const {
  return i >= 0 && i < SeriesTotal() ? Series(i) : nullptr;
}

TColor TCustomChart::GetBackColor() const { return backWall_->Transparent ? Color() : backWall_->Color; }

void TCustomChart::SetBackColor(TColor c) {
  backWall_->Color = c;
  if (!IsLoading) backWall_->Transparent = false, backWall_->Brush().SetStyle(bsSolid);
  Invalidate();
}

bool TCustomChart::ColorIsUnused(TColor c, bool avoidBackground, const TChartSeries* series) const {
  if (avoidBackground && (c == Color() || c == backWall_->Color)) return false;
  return TCustomAxisPanel::ColorIsUnused(c, false, series);
}

void TCustomChart::ChoosePalette(int index) {
  const auto& palettes = ColorPalettes();
  if (index < 0 || index >= int(palettes.size())) return;
  PaletteColors = palettes[size_t(index)].Colors;
  for (int i = 0; i < SeriesTotal(); ++i)
    if (Series(i)->StoredSeriesColor() == clPaletteColor) Series(i)->ChosenColor = PaletteColorAt(i);
  ColorPaletteIndex = index;
  Invalidate();
}

int TCustomChart::WallThicknessOf(const TChartAxis& axis) const {
  if (!View3D() || !View3DWalls()) return 0;
  const auto& axes = AllAxes();  // bottom 0, left 2, right 3
  const TChartWall& w = &axis == axes[2]   ? *leftWall_
                        : &axis == axes[0] ? *bottomWall_
                        : &axis == axes[3] ? *rightWall_
                                           : *backWall_;
  return w.Visible() ? w.Size : 0;
}

bool TCustomChart::AxesNeeded() const {
  // Every series of this library is drawn against axes.
  return true;
}

void TCustomChart::DrawTitlesAndLegend(bool beforeSeries) {
  const TChartLegend& g = *legend_;
  const bool legend = LegendDrawn() && g.CustomPosition != beforeSeries;
  const bool sideLegend = g.Alignment == laLeft || g.Alignment == laRight;
  if (legend && sideLegend) LayOutLegend();  // the titles span only what it leaves
  TRect area = TCustomChartPanel::PlotRect;
  for (TChartTitle* t : {title_.get(), subTitle_.get(), foot_.get(), subFoot_.get()})
    if (t->CustomPosition != beforeSeries) t->DrawTitle(Canvas(), area);
  if (beforeSeries) {
    TCustomChartPanel::PlotRect = area;
    RecomputePlotSize();
  }
  if (legend && !sideLegend) LayOutLegend();
  if (!legend && g.CustomPosition != beforeSeries) legend_->Layout = {};
}

// --- Legend layout

bool TCustomChart::LegendDrawn() const {
  return legend_->Visible() && (legend_->CheckBoxesShown() || ActiveSeriesTotal() > 0);
}

std::vector<TLegendLayout::Item> TCustomChart::LegendCandidates() {
  TChartLegend& g = *legend_;
  TLegendLayout& l = g.Layout;
  l.Style = g.LegendStyle;
  if (l.Style == lsAuto) l.Style = !g.CheckBoxes && ActiveSeriesTotal() < 2 ? lsValues : lsSeries;
  l.ValuesSeries = nullptr;
  for (TChartSeries* s : SeriesList())
    if (s->Active()) {
      l.ValuesSeries = s;
      break;
    }
  if (MaxPointsPerPage() > 0)
    g.SetFirstValue(l.Style == lsValues && g.CurrentPage ? (Page() - 1) * MaxPointsPerPage() : 0);
  std::vector<TLegendLayout::Item> all;
  if (l.Style == lsValues) {
    if (l.ValuesSeries)
      for (int i = 0; i < l.ValuesSeries->Count(); ++i) all.push_back({l.ValuesSeries, i, {}});
  } else {
    for (TChartSeries* s : SeriesList())
      if (s->ShowInLegend() && (s->Active() || g.CheckBoxes))
        all.push_back({s, l.Style == lsLastValues ? s->Count() - 1 : -1, {}});
  }
  return all;
}

void TCustomChart::LayOutLegend() {
  TChartLegend& g = *legend_;
  TLegendLayout& l = g.Layout;
  l = {};
  TChartCanvas3D& c = Canvas();
  TRect& p = TCustomChartPanel::PlotRect;
  const TRect& fb = FrameBounds;
  const bool side = g.Alignment == laLeft || g.Alignment == laRight, boxes = g.CheckBoxesShown();
  // 1-2. Frame width, the items.
  int F = g.Pen().Visible() ? g.Pen().Width() : 0;
  if (g.Bevel != bvNone) F = g.BevelWidth;
  const std::vector<TLegendLayout::Item> all = LegendCandidates();
  const int first = g.FirstValue();
  l.TotalItems = std::max(0, int(all.size()) - first);
  if (l.Style == lsValues && g.CurrentPage && MaxPointsPerPage() > 0)
    l.TotalItems = std::min(l.TotalItems, MaxPointsPerPage());
  // 3. Font, spacing, row height.
  c.PrepareFont(g.Font());
  l.S = c.TextWidth(" ");
  l.RowHeight = c.FontPixelHeight();
  if (boxes) l.RowHeight = std::max(l.RowHeight, 17);
  l.RowHeight += g.VertSpacing + (g.DividingLines.Visible() ? g.DividingLines.Width() : 0);
  TRect b = g.CustomPosition ? TRect{g.Left, g.Top, g.Left, g.Top} : TRect{};
  // The title's room above the rows (measured from the box's top once that is known).
  TLegendTitle& title = g.Title();
  if (title.Shown()) l.TitleSize = title.Measure(c);
  const int titleRoom = title.Shown() ? title.Room(c) : 0;
  c.PrepareFont(g.Font());
  auto collect = [&](int finalValue) {
    for (int i = first; i <= finalValue && i < int(all.size()); ++i) {
      TLegendLayout::Item item = all[size_t(i)];
      std::string text = l.Style == lsSeries ? SeriesDisplayName(i, !g.CheckBoxes) : LegendValueText(*item.Series, item.ValueIndex);
      if (OnGetLegendText) OnGetLegendText(*this, l.Style, i, text);
      const size_t cut = text.find(kLegendColumnSeparator);
      item.Text[0] = text.substr(0, cut);
      if (cut != std::string::npos) item.Text[1] = text.substr(cut + 1);
      l.Items.push_back(std::move(item));
    }
    // 6. Text columns and the symbol.
    for (const TLegendLayout::Item& item : l.Items) {
      if (!item.Text[0].empty()) l.W0 = std::max(l.W0, c.TextWidth(item.Text[0]));
      if (!item.Text[1].empty()) l.W1 = std::max(l.W1, c.TextWidth(item.Text[1]));
    }
    l.T = l.W0 + l.W1 + 2 * l.S - 1;
    const TLegendSymbol& sym = g.Symbol;
    l.SymbolWidth = !sym.Visible ? 0
                    : sym.Squared ? l.RowHeight - 5
                    : sym.WidthUnits == lcsPixels ? sym.Width
                                                  : RoundPixel(sym.Width * l.T * 0.01);
  };
  if (side) {  // 4.
    if (!g.CustomPosition) b.Top = fb.Top + RoundPixel(g.TopPos * (fb.Bottom - fb.Top) * 0.01);
    l.Columns = 1;
    const int itemsTop = b.Top + titleRoom;
    l.Rows = p.Bottom > itemsTop && l.RowHeight > 0
                 ? std::clamp((p.Top + PlotHeight - 2 * F - itemsTop) / l.RowHeight, 0, l.TotalItems) : 0;
    l.FinalValue = first + std::min(l.TotalItems, l.Rows) - 1;
    collect(l.FinalValue);
  } else {  // 5.
    collect(first + l.TotalItems - 1);
    if (!g.CustomPosition) {
      if (g.Alignment == laBottom) b.Bottom = p.Bottom - (Shadow().VertSize() + F + 1);
      else b.Top = p.Top + F + 1;
    }
    const int cw = l.SymbolWidth + l.T + (boxes ? 35 : 8);
    l.Columns = p.Right > 8 && cw > 0 ? std::clamp((PlotWidth - 2 * F - 8) / cw, 0, l.TotalItems) : 0;
    l.Rows = l.Columns > 0 ? std::min(l.TotalItems / l.Columns + (l.TotalItems % l.Columns ? 1 : 0), g.MaxNumRows) : 0;
    l.Rows = std::max(l.Rows, 0);
    l.FinalValue = first + std::min(l.TotalItems, l.Columns * l.Rows) - 1;
  }
  // 7. Nothing fits: no box, no space taken.
  if (l.FinalValue < first) {
    l = {};
    return;
  }
  l.Items.resize(size_t(l.FinalValue - first + 1));
  l.TotalItems = int(l.Items.size());
  // 8. Height.
  const int H = l.RowHeight * l.Rows + 2 + titleRoom;
  if (g.Alignment == laBottom && !g.CustomPosition) b.Top = b.Bottom - H;
  else b.Bottom = b.Top + H;
  l.ItemsTop = b.Top + titleRoom;
  // 9. Horizontal placement.
  if (side) {
    const int W = std::max(l.T + 10 + l.SymbolWidth, l.TitleSize.cx);
    if (!g.CustomPosition && g.Alignment == laRight) {
      b.Right = p.Right - ((g.HasShadow() ? g.Shadow().HorizSize() : 0) + F + 1);
      b.Left = b.Right - W - (boxes ? 15 : 0);
    } else if (!g.CustomPosition) {
      b.Left = p.Left + F + 1;
    }
    l.X0 = b.Left + (boxes ? 15 : 0);
    b.Right = l.X0 + W;
  } else {
    const int W = std::min((l.T + l.SymbolWidth) * l.Columns + 12 + 6 * (l.Columns - 1) +
                               (boxes ? 13 * l.Columns + 8 : 0), PlotWidth);
    const int h = W / 2;
    if (!g.CustomPosition) b.Left = PlotCenterX - h + RoundPixel(g.TopPos * (fb.Right - fb.Left - 2 * h) * 0.01);
    b.Right = b.Left + 2 * h;
    l.X0 = b.Left + (boxes ? 15 : 0);
  }
  l.CheckX = b.Left + 4;
  if (g.Symbol.Position == spLeft) l.SymbolX = l.X0 + 6, l.TextX = l.SymbolX + l.SymbolWidth + 4;
  else l.TextX = l.X0 + 6, l.SymbolX = l.TextX + l.T;
  // 10-11.
  if (OnGetLegendRect) OnGetLegendRect(*this, b);
  l.Box = b;
  g.PaintRotatedShape(c, b, 0);
  if (title.Shown()) title.Draw(c, b);
  for (int i = 0; i < l.TotalItems; ++i) PaintLegendRow(i);
  // 12. Space taken from the plot.
  if (!g.ResizeChart || g.CustomPosition) return;
  switch (g.Alignment) {
    case laLeft: p.Left = b.Right + (g.HorizMargin ? g.HorizMargin : 3 * PlotWidth / 100); break;
    case laRight: p.Right = b.Left - (g.HorizMargin ? g.HorizMargin : 3 * PlotWidth / 100); break;
    case laTop: p.Top = b.Bottom + Shadow().VertSize() + (g.VertMargin ? g.VertMargin : 4 * PlotHeight / 100); break;
    case laBottom: p.Bottom = b.Top - (g.VertMargin ? g.VertMargin : 4 * PlotHeight / 100); break;
  }
  RecomputePlotSize();
}

namespace {

// Which of a value text's two columns holds a number, by the text style.
bool IsNumberColumn(TLegendTextStyle style, int column) {
  switch (style) {
    case ltsLeftValue: case ltsLeftPercent: return column == 0;
    case ltsRightValue: case ltsRightPercent: return column == 1;
    case ltsXValue: case ltsValue: case ltsPercent: case ltsXAndValue: case ltsXAndPercent: return true;
    default: return false;
  }
}

}  // namespace

void TCustomChart::PaintLegendRow(int position) {
  TChartLegend& g = *legend_;
  const TLegendLayout& l = g.Layout;
  if (position < 0 || position >= l.TotalItems || position >= int(l.Items.size())) return;
  const TLegendLayout::Item& item = l.Items[size_t(g.Inverted ? l.TotalItems - 1 - position : position)];
  TChartCanvas3D& c = Canvas();
  const bool side = g.Alignment == laLeft || g.Alignment == laRight, boxes = g.CheckBoxesShown();
  c.PrepareFont(g.Font());
  c.SetBrushStyle(bsClear);
  c.SetBackgroundMode(cbmTransparent);
  int x = l.TextX, xs = l.SymbolX, y = l.ItemsTop + 1, dx = 0, row = position;
  if (!side && l.Columns > 0) {
    dx = position % l.Columns * (l.T + l.SymbolWidth + (boxes ? 21 : 6));
    row = position / l.Columns;
  }
  x += dx, xs += dx;
  y += l.RowHeight * row + g.VertSpacing / 2;
  if (OnGetLegendPos) OnGetLegendPos(*this, position, x, y, xs);
  TChartSeries* s = item.Series;
  if (g.FontSeriesColor && s)
    c.DC().SetTextColor(l.Style == lsValues ? s->PointColorAt(item.ValueIndex) : s->SeriesColor());
  // Labels start at their column's left edge; values and percents end at
  // its right edge, so their digits line up from row to row.
  for (int col = 0; col < 2; ++col) {
    const int width = col == 0 ? l.W0 : l.W1;
    const std::string& text = item.Text[col];
    if (!text.empty())
      c.TextOut(l.Style != lsSeries && IsNumberColumn(g.TextStyle, col) ? x + width - c.TextWidth(text) : x, y, text);
    x += width + l.S;
  }
  const int h = c.FontPixelHeight();
  // A continuous symbol fills its whole row and meets the next one.
  const int rowTop = y - g.VertSpacing / 2;
  const TRect symbol = g.Symbol.Continuous ? TRect{xs, rowTop, xs + l.SymbolWidth, rowTop + l.RowHeight}
                                           : TRect{xs, y + 2, xs + l.SymbolWidth, y + h - 2};
  if (boxes && s) {  // a check box (or radio button), ticked while the series is active
    const TRect box{l.CheckX + dx, y + (h - 11) / 2, l.CheckX + dx + 11, y + (h - 11) / 2 + 11};
    c.SetBrushStyle(bsSolid);
    c.SetBrushColor(clWhite);
    c.PreparePen(TChartPen());
    if (g.CheckBoxesStyle() == cbsRadio) c.Ellipse(box);
    else c.Rectangle(box);
    if (s->Active()) {
      c.MoveTo(box.Left + 2, box.Top + 5), c.LineTo(box.Left + 4, box.Top + 8), c.LineTo(box.Left + 9, box.Top + 2);
    }
  }
  if (l.SymbolWidth > 0) {
    c.PreparePen(s && g.Symbol.DefaultPen ? s->Pen() : g.Symbol.Pen);
    if (s) {
      s->PaintLegendSymbol(l.Style == lsValues ? item.ValueIndex : -1, symbol);
      if (!g.Symbol.DefaultPen) {  // the legend's pen over whatever the series framed it with
        c.PreparePen(g.Symbol.Pen);
        c.SetBrushStyle(bsClear);
        c.Rectangle(symbol);
      }
    } else {
      c.SetBrushStyle(bsSolid);
      c.SetBrushColor(clWhite);
      c.Rectangle(symbol);
    }
  }
  if (g.Symbol.OnDraw) g.Symbol.OnDraw(s, item.ValueIndex, symbol);
  if (position > 0 && g.DividingLines.Visible()) {
    c.PreparePen(g.DividingLines);
    const int yl = y - g.VertSpacing / 2;
    if (side) c.MoveTo(l.Box.Left, yl), c.LineTo(l.Box.Right, yl);
    else c.MoveTo(l.X0 + dx, yl), c.LineTo(l.X0 + dx, l.Box.Bottom);
  }
}

void TCustomChart::LegendClicked(int item) {
  const TLegendLayout& l = legend_->Layout;
  const int i = item - legend_->FirstValue();
  if (i < 0 || i >= int(l.Items.size()) || !l.Items[size_t(i)].Series) return;
  TChartSeries* s = l.Items[size_t(i)].Series;
  if (legend_->CheckBoxesStyle() == cbsRadio) {
    for (TChartSeries* other : SeriesList())
      if (other->ShowInLegend() && other != s) other->SetActive(false);
    s->SetActive(true);
  } else {
    s->SetActive(!s->Active());
  }
  Invalidate();
}

// --- Walls

bool TCustomChart::WallSideAt(int x) {
  const TRect& p = TCustomChartPanel::PlotRect;
  const TChartCanvas3D& c = Canvas();
  const int yb = p.Bottom + WallThicknessOf(BottomAxis());
  return NegativeTurn(c.ProjectToPoint(x, p.Top, 0), c.ProjectToPoint(x, yb, 0),
                      c.ProjectToPoint(x, yb, backWall_->Size + Depth3D()));
}

void TCustomChart::PrepareWall(TChartWall& w) {
  TChartCanvas3D& c = Canvas();
  c.PreparePen(w.Pen());
  if (w.Transparent) c.SetBrushStyle(bsClear);
  else c.PrepareBrush(w.Brush(), w.Color);
}

namespace {

bool DarkSides(TChartWall& w) { return w.Dark3D && w.Brush().Style() != bsClear && !w.Brush().HasImage(); }

TRect BoundsOf(const TPoint* pts, int n) {
  TRect r{pts[0].X, pts[0].Y, pts[0].X, pts[0].Y};
  for (int i = 1; i < n; ++i)
    r = {std::min(r.Left, pts[i].X), std::min(r.Top, pts[i].Y), std::max(r.Right, pts[i].X),
         std::max(r.Bottom, pts[i].Y)};
  return r;
}

}  // namespace

void TCustomChart::WallGradient(TChartWall& w, const TPoint* pts, int n) {
  if (w.Transparent || !w.HasGradient() || !w.Gradient().Visible()) return;
  TChartCanvas3D& c = Canvas();
  c.ClipToPolygon(pts, n);
  w.Gradient().Draw(c, BoundsOf(pts, n));
  c.RestoreClip();
  c.SetBrushStyle(bsClear);
}

void TCustomChart::CalcSize3DWalls() {
  const TChartCanvas3D& c = Canvas();
  if (!View3D() || !View3DOptions().Orthogonal()) return;
  const int D = std::abs(Depth3D()), back = AxesNeeded() ? backWall_->Size : 0;
  // The depth runs to the side the projection moves it to: left for angles above 90 degrees.
  const bool left = c.OrthoStepX < 0;
  const TChartWall& side = left ? *leftWall_ : *rightWall_;
  const int across = D + back + (side.Visible() ? side.Size + 1 : 0);
  TRect& p = TCustomChartPanel::PlotRect;
  if (left) p.Left += across;
  else p.Right -= across;
  p.Top += back + std::abs(RoundPixel(D * c.OrthoStepY));
  RecomputePlotSize();
}

void TCustomChart::DrawWalls() {
  if (!AxesNeeded() || !View3DWalls()) return;
  const TRect& p = TCustomChartPanel::PlotRect;
  if (View3D() && rightWall_->Visible() && WallSideAt(p.Right)) RightWallPass();
  if (backWall_->Visible()) BackWallPass();
  if (!View3D()) return;
  if (leftWall_->Visible() && !WallSideAt(p.Left)) LeftWallPass();
  if (bottomWall_->Visible()) BottomWallPass();
}

namespace {

// Ends a wall's transparency when its drawing is done.

struct SideWallBlend {
  std::unique_ptr<TChartBlend> Blend;
  TChartCanvas3D& Canvas;
  ~SideWallBlend() {
    if (Blend) Canvas.FinishTransparency(std::move(Blend));
  }
};

}  // namespace

void TCustomChart::SideWallPass(bool right) {
  TChartWall& w = right ? *rightWall_ : *leftWall_;
  TChartCanvas3D& c = Canvas();
  const TRect& p = TCustomChartPanel::PlotRect;
  const int D = Depth3D(), yb = p.Bottom + WallThicknessOf(BottomAxis()), x = right ? p.Right : p.Left;
  SideWallBlend blend{nullptr, c};
  PrepareWall(w);
  if (!w.Transparent) {
    const TPoint pts[4] = {c.ProjectToPoint(x, p.Top, 0), c.ProjectToPoint(x, p.Top, D), c.ProjectToPoint(x, yb, D),
                           c.ProjectToPoint(x, yb, 0)};
    if (w.Transparency > 0) blend.Blend = c.StartTransparency(BoundsOf(pts, 4), w.Transparency);
    WallGradient(w, pts, 4);
  }
  // The right wall reaches behind the back wall; its plane one pixel deeper.
  const int back = right && backWall_->Visible() ? backWall_->Size : 0;
  if (w.Size > 0) c.Cube({right ? x : x - w.Size, p.Top, right ? x + w.Size : x, yb}, 0, D + back, DarkSides(w));
  else c.FlatRectZ(x, p.Top, yb, 0, right ? D + 1 : D);
}

void TCustomChart::BackWallPass() {
  TChartWall& w = *backWall_;
  TChartCanvas3D& c = Canvas();
  const TRect& p = TCustomChartPanel::PlotRect;
  SideWallBlend blend{nullptr, c};
  if (!View3D()) {
    // Flat charts have the back wall only, one pixel wider and taller than the plot.
    const TRect r{p.Left, p.Top, p.Right + 1, p.Bottom + 1};
    if (w.Transparency > 0) blend.Blend = c.StartTransparency(r, w.Transparency);
    PrepareWall(w);
    if (!w.Transparent && w.HasGradient() && w.Gradient().Visible()) {
      w.Gradient().Draw(c, r);
      c.SetBrushStyle(bsClear);
    }
    c.Rectangle(r);
  } else {
    const int D = Depth3D(), s = D < 0 ? -w.Size : w.Size;
    TRect r = p;
    if (w.Size > 0) r.Left -= WallThicknessOf(LeftAxis()), r.Bottom += WallThicknessOf(BottomAxis());
    const TPoint pts[4] = {c.ProjectToPoint(r.Left, r.Top, D), c.ProjectToPoint(r.Right, r.Top, D),
                           c.ProjectToPoint(r.Right, r.Bottom, D), c.ProjectToPoint(r.Left, r.Bottom, D)};
    if (w.Transparency > 0) blend.Blend = c.StartTransparency(BoundsOf(pts, 4), w.Transparency);
    PrepareWall(w);
    WallGradient(w, pts, 4);
    if (w.Size > 0) c.Cube(r, D, D + s, DarkSides(w));
    else c.RectangleAtDepth(r, D);
  }
  // A back image kept inside the walls lies on the wall's plane, inside its frame.
  if (BackImageInside()) {
    TRect r = p;
    if (w.Pen().Visible()) ++r.Left, ++r.Top;
    PaintBackImage(r, Depth3D());
  }
}

void TCustomChart::BottomWallPass() {
  TChartWall& w = *bottomWall_;
  TChartCanvas3D& c = Canvas();
  const TRect& p = TCustomChartPanel::PlotRect;
  const int D = Depth3D(), yb = p.Bottom;
  int L = p.Left;
  if (leftWall_->Visible() && (!leftWall_->AutoHide || WallSideAt(p.Left))) L -= WallThicknessOf(LeftAxis());
  SideWallBlend blend{nullptr, c};
  PrepareWall(w);
  if (!w.Transparent) {
    const TPoint pts[4] = {c.ProjectToPoint(L, yb, 0), c.ProjectToPoint(L, yb, D), c.ProjectToPoint(p.Right, yb, D),
                           c.ProjectToPoint(p.Right, yb, 0)};
    if (w.Transparency > 0) blend.Blend = c.StartTransparency(BoundsOf(pts, 4), w.Transparency);
    WallGradient(w, pts, 4);
  }
  if (w.Size > 0) c.Cube({L, yb, p.Right, yb + w.Size}, 0, D, DarkSides(w));
  else c.FlatRectY(L, yb, p.Right, 0, D);
}

// --- Hit test

TChartClickedPart TCustomChart::PartAtPoint(int x, int y, bool forClick) {
  TChartClickedPart part;
  auto legendAt = [&](bool custom) {
    return legend_->Visible() && legend_->CustomPosition == custom ? legend_->LegendItemAt(x, y) : -1;
  };
  if (const int i = legendAt(true); i >= 0) return {hpLegend, i, nullptr, nullptr};
  for (auto it = SeriesList().rbegin(); it != SeriesList().rend(); ++it) {
    TChartSeries* s = *it;
    if (!s->Active() || (forClick && !s->OnClick && !s->OnDblClick && !OnClickSeries)) continue;
    if (const int i = s->Clicked(x, y); i >= 0) return {hpSeries, i, s, nullptr};
    if (s->Marks().Visible())
      if (const int i = s->Marks().HitTest(x, y); i >= 0) return {hpSeriesMarks, i, s, nullptr};
  }
  for (TChartAxis* a : AllAxes())
    if (a->Visible() && a->HitTest(x, y)) return {hpAxis, -1, nullptr, a};
  if (const int i = legendAt(false); i >= 0) return {hpLegend, i, nullptr, nullptr};
  const std::pair<TChartTitle*, TChartClickedPartStyle> titles[] = {
      {title_.get(), hpTitle}, {subTitle_.get(), hpSubTitle}, {foot_.get(), hpFoot}, {subFoot_.get(), hpSubFoot}};
  for (const auto& [t, style] : titles)
    if (t->Clicked(x, y)) return {style, -1, nullptr, nullptr};
  if (PointInRect(TCustomChartPanel::PlotRect, {x, y}) && ActiveSeriesTotal() > 0) part.Part = hpPlotArea;
  return part;
}

// --- Mouse

void TCustomChart::ChartEvent(const TChartEvent& event) {
  // The chart itself hands the mouse to its tools and series (MouseDown and
  // the others); from the broadcast it only follows the series under the mouse.
  const auto* m = dynamic_cast<const TChartMouseEvent*>(&event);
  if (m && m->Event == cmeMove) CheckMouseOverSeries(m->X, m->Y);
}

void TCustomChart::ToolsHear(TChartMouseEventKind action, TMouseButton button, TShiftState shift, int x, int y) {
  const TChartTools tools = Tools();
  for (TChartCustomTool* t : tools) {
    if (!t->Active()) continue;
    t->NotifyMouseAction(action, button, shift, x, y);
    if (StopMouseBroadcast) break;
  }
}

bool TCustomChart::Fire(bool assigned, const std::function<void()>& fire) {
  if (!assigned) return false;
  StopMouseBroadcast = true;
  fire();
  return StopMouseBroadcast;
}

void TCustomChart::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
  TCustomChartPanel::MouseDown(button, shift, x, y);
  bool handled = StopMouseBroadcast;
  if (!handled && !Zoom().Active && !Panning.Active) {
    ToolsHear(kToolMouseDown, button, shift, x, y);
    handled = StopMouseBroadcast;
  }
  if (!handled) {
    const TChartClickedPart part = PartAtPoint(x, y, true);
    switch (part.Part) {
      case hpLegend:
        if (legend_->CheckBoxesShown()) {
          LegendClicked(part.PointIndex);
          handled = true;
        }
        if (OnClickLegend) handled = Fire(true, [&] { OnClickLegend(*this, button, shift, x, y); });
        break;
      case hpAxis:
        handled = Fire(bool(OnClickAxis), [&] { OnClickAxis(*this, *part.AAxis, button, shift, x, y); });
        break;
      case hpSeries: {
        TChartSeries& s = *part.ASeries;
        const TSeriesClick& own = (shift & ssDouble) ? s.OnDblClick : s.OnClick;
        if (own) own(s, part.PointIndex, button, shift, x, y);
        handled = Fire(bool(OnClickSeries), [&] { OnClickSeries(*this, s, part.PointIndex, button, shift, x, y); });
        break;
      }
      case hpTitle: case hpSubTitle: case hpFoot: case hpSubFoot: {
        TChartTitle& t = part.Part == hpTitle ? *title_ : part.Part == hpSubTitle ? *subTitle_
                         : part.Part == hpFoot ? *foot_ : *subFoot_;
        handled = Fire(bool(OnClickTitle), [&] { OnClickTitle(*this, t, button, shift, x, y); });
        break;
      }
      case hpPlotArea:
        handled = Fire(bool(OnClickBackground), [&] { OnClickBackground(*this, button, shift, x, y); });
        break;
      default:
        break;
    }
  }
  if (!handled && AxesNeeded()) {
    const TChartZoom& z = Zoom();
    const TRect& p = TCustomChartPanel::PlotRect;
    if (z.Allow && button == z.MouseButton && (shift & z.KeyShift) == z.KeyShift) {
      Zoom().Activate(x, y);
      if (z.Direction == tzdHorizontal) Zoom().Y0 = p.Top, Zoom().Y1 = p.Bottom;
      else if (z.Direction == tzdVertical) Zoom().X0 = p.Left, Zoom().X1 = p.Right;
      DrawZoomRectangle();
      UpdateRect(PanelRectangle());
      handled = true;
    } else if (AllowPanning != pmNone && button == ScrollMouseButton) {
      Panning.Activate(x, y);
      handled = true;
    }
    if (handled) Cursor = StashedCursor;
  }
  if (!handled && OnClickBackground) OnClickBackground(*this, button, shift, x, y);
  StopMouseBroadcast = false;
}

void TCustomChart::MouseMove(TShiftState shift, int x, int y) {
  TCustomChartPanel::MouseMove(shift, x, y);
  if (!Designing) ToolsHear(kToolMouseMove, mbLeft, shift, x, y);
  if (StopMouseBroadcast) return;
  const TRect& p = TCustomChartPanel::PlotRect;
  if (Zoom().Active) {
    TChartZoom& z = Zoom();
    const int nx = z.Direction == tzdVertical ? p.Right : x, ny = z.Direction == tzdHorizontal ? p.Bottom : y;
    if (nx == z.X1 && ny == z.Y1) return;
    DrawZoomRectangle();  // erases the old one
    z.X1 = nx, z.Y1 = ny;
    DrawZoomRectangle();
    UpdateRect(PanelRectangle());
  } else if (Panning.Active) {
    if (!PointInRect(p, {x, y})) {
      Panning.Active = false;
      return;
    }
    if (x == Panning.X1 && y == Panning.Y1) return;
    if (saved_.empty()) SaveRanges();
    const bool h = PanPass(true, Panning.X1, x), v = PanPass(false, Panning.Y1, y);
    Panning.X1 = x, Panning.Y1 = y;
    if (h || v) {
      if (OnScroll) OnScroll(*this);
      Invalidate();
    }
  } else if (!ClickableAt(x, y)) {
    // Off a tool's line (which would have stopped the move) and off anything
    // a click would reach: the chart's own cursor again.
    Cursor = StashedCursor;
  }
}

bool TCustomChart::ClickableAt(int x, int y) {
  for (TChartSeries* s : SeriesList())
    if (s->PointerOver && s->Cursor) return true;  // the series' own cursor stays
  const TChartClickedPart part = PartAtPoint(x, y, true);
  switch (part.Part) {
    case hpLegend: return legend_->CheckBoxesShown() || OnClickLegend;
    case hpAxis: return bool(OnClickAxis);
    case hpSeries: case hpSeriesMarks: return true;
    case hpTitle: case hpSubTitle: case hpFoot: case hpSubFoot: return bool(OnClickTitle);
    default: return false;
  }
}

bool TCustomChart::PanPass(bool horizontal, int from, int to) {
  const TPanningMode mode = horizontal ? pmHorizontal : pmVertical;
  if (from == to || (AllowPanning != mode && AllowPanning != pmBoth)) return false;
  for (TChartAxis* a : AllAxes()) {
    if (a->IsDepthAxis() || a->Horizontal() != horizontal) continue;
    const double delta = a->ValueAtPixel(from) - a->ValueAtPixel(to);
    double aMin = a->Minimum() + delta, aMax = a->Maximum() + delta;
    bool allow = true;
    if (OnAllowScroll) OnAllowScroll(*a, aMin, aMax, allow);
    if (allow) a->FixRange(aMin, aMax);
  }
  return true;
}

void TCustomChart::MouseUp(TMouseButton button, TShiftState shift, int x, int y) {
  StopMouseBroadcast = false;
  TCustomChartPanel::MouseUp(button, shift, x, y);
  TChartZoom& z = Zoom();
  if (z.Active && button == z.MouseButton) {
    DrawZoomRectangle();
    z.Active = false;
    if (z.Direction == tzdHorizontal) y = z.Y0 + z.MinimumPixels + 1;
    else if (z.Direction == tzdVertical) x = z.X0 + z.MinimumPixels + 1;
    z.X1 = x, z.Y1 = y;
    if (std::abs(z.Width()) > z.MinimumPixels && std::abs(z.Height()) > z.MinimumPixels) {
      if (z.X1 > z.X0 || z.UpLeftZooms) {
        const TRect& p = TCustomChartPanel::PlotRect;
        TRect r = NormalizeRect({z.X0, z.Y0, z.X1, z.Y1});
        if (z.Direction == tzdHorizontal) r.Top = p.Top, r.Bottom = p.Bottom;
        else if (z.Direction == tzdVertical) r.Left = p.Left, r.Right = p.Right;
        ZoomRect(r);
      } else {
        RevertZoom();
      }
    }
    Invalidate();
  }
  Panning.Active = false;
  ToolsHear(kToolMouseUp, button, shift, x, y);
}

void TCustomChart::MouseWheel(int notches) {
  if (!ChartWheelScrolls || notches == 0) return;
  for (TChartAxis* a : AllAxes()) {
    if (a->IsDepthAxis() || a->Horizontal()) continue;
    a->Scroll((a->Maximum() - a->Minimum()) * 3 * 0.01 * notches, false);
  }
  Invalidate();
}

// --- Zoom

void TCustomChart::SaveRanges() {
  saved_.clear();
  for (TChartAxis* a : AllAxes())
    if (!a->IsDepthAxis())
      saved_.push_back({a, a->Automatic(), a->AutomaticMinimum(), a->AutomaticMaximum(), a->Maximum(), a->Minimum()});
}

void TCustomChart::ZoomRect(const TRect& r) {
  auto range = [](TChartAxis& a, int p0, int p1, double& lo, double& hi) {
    lo = a.ValueAtPixel(p0), hi = a.ValueAtPixel(p1);
    if (lo > hi) std::swap(lo, hi);
  };
  auto keep = [](TChartAxis& a, double& lo, double& hi) { lo = a.Minimum(), hi = a.Maximum(); };
  double t0, t1, b0, b1, l0, l1, r0, r1;
  // A one-way zoom leaves the other direction's ranges exactly as they are.
  if (Zoom().Direction == tzdVertical) keep(TopAxis(), t0, t1), keep(BottomAxis(), b0, b1);
  else range(TopAxis(), r.Left, r.Right, t0, t1), range(BottomAxis(), r.Left, r.Right, b0, b1);
  if (Zoom().Direction == tzdHorizontal) keep(LeftAxis(), l0, l1), keep(RightAxis(), r0, r1);
  else range(LeftAxis(), r.Bottom, r.Top, l0, l1), range(RightAxis(), r.Bottom, r.Top, r0, r1);
  ZoomToRanges(t0, t1, b0, b1, l0, l1, r0, r1);
}

void TCustomChart::ZoomToRanges(double topMin, double topMax, double bottomMin, double bottomMax, double leftMin,
                                double leftMax, double rightMin, double rightMax) {
  if (saved_.empty()) SaveRanges();
  struct Target {
    TChartAxis& Axis;
    double Min, Max;
  } targets[] = {{LeftAxis(), leftMin, leftMax},
                 {RightAxis(), rightMin, rightMax},
                 {TopAxis(), topMin, topMax},
                 {BottomAxis(), bottomMin, bottomMax}};
  if (Zoom().Animated)
    for (int step = 1; step < Zoom().AnimatedSteps; ++step) {
      for (Target& t : targets) {
        const double m = t.Axis.Minimum(), M = t.Axis.Maximum();
        t.Axis.FixRange(m + (t.Min - m) / ChartAnimatedZoomFactor, M - (M - t.Max) / ChartAnimatedZoomFactor);
      }
      RepaintNow();
    }
  for (Target& t : targets) t.Axis.FixRange(t.Min, t.Max);
  Zoomed = true;
  if (OnZoom) OnZoom(*this);
}

void TCustomChart::RevertZoom() {
  // Both ends of an axis are set together, so no check in between can refuse
  // half of a range; then the automatic switches come back.
  for (const TSavedRange& s : saved_) {
    s.Axis->FixRange(s.Minimum, s.Maximum);
    s.Axis->SetAutomatic(s.Automatic);
    s.Axis->SetAutomaticMinimum(s.AutomaticMinimum);
    s.Axis->SetAutomaticMaximum(s.AutomaticMaximum);
  }
  saved_.clear();
  UndoZoom();
}

void TCustomChart::RepaintNow() {
  Invalidate();
  Paint();
  UpdateRect(PanelRectangle());
}

// --- Registries

void TChartSeriesTypes::Register(TChartSeriesTypeEntry entry) {
  for (const TChartSeriesTypeEntry& e : entries_)
    if (e.SeriesClass == entry.SeriesClass && e.FunctionClass == entry.FunctionClass) return;
  entries_.push_back(std::move(entry));
}

void TChartSeriesTypes::AddFunctionKind(const std::string& functionClass, const std::string& description,
                                        const std::string& page) {
  Register({"", functionClass, description, page, 1, {}});
}

void TChartSeriesTypes::DropFunctionKinds(const std::vector<std::string>& functionClasses) {
  std::erase_if(entries_, [&](const TChartSeriesTypeEntry& e) {
    return std::find(functionClasses.begin(), functionClasses.end(), e.FunctionClass) != functionClasses.end();
  });
}

void TChartSeriesTypes::RemoveSeriesClass(const std::string& seriesClass) {
  std::erase_if(entries_, [&](const TChartSeriesTypeEntry& e) { return e.SeriesClass == seriesClass; });
}

void TChartToolTypes::Register(const std::vector<TChartToolTypeEntry>& tools) {
  for (const TChartToolTypeEntry& t : tools)
    if (std::none_of(entries_.begin(), entries_.end(), [&](const auto& e) { return e.ClassName == t.ClassName; }))
      entries_.push_back(t);
}

void TChartToolTypes::Remove(const std::vector<std::string>& classNames) {
  std::erase_if(entries_, [&](const TChartToolTypeEntry& e) {
    return std::find(classNames.begin(), classNames.end(), e.ClassName) != classNames.end();
  });
}

TChartSeriesTypes& ChartSeriesTypes() {
  static TChartSeriesTypes types;
  return types;
}

TChartToolTypes& ChartToolTypes() {
  static TChartToolTypes types;
  return types;
}

// --- Window

TChartHost::TChartHost(TCustomChart& chart, QWidget* parent) : TChartPanelHost(chart, parent), chart_(chart) {}

void TChartHost::wheelEvent(QWheelEvent* e) {
  // Wheel down (towards the user) scrolls by +3 % a notch. Fine wheels and
  // touchpads send parts of a notch: they add up until a notch is whole.
  wheelDelta_ -= e->angleDelta().y();
  const int notches = wheelDelta_ / 120;
  wheelDelta_ -= notches * 120;
  chart_.MouseWheel(notches);
  e->accept();
}

void TChartHost::mouseDoubleClickEvent(QMouseEvent* e) {
  const TMouseButton b = e->button() == Qt::RightButton ? mbRight : e->button() == Qt::MiddleButton ? mbMiddle : mbLeft;
  chart_.MouseDown(b, ssDouble, int(e->position().x()), int(e->position().y()));
  TChartPanelHost::mouseDoubleClickEvent(e);
}

// --- Copying

void TChartTitle::Assign(const TChartTitle& s) {
  Text = s.Text;
  AdjustFrame = s.AdjustFrame, Alignment = s.Alignment, CustomPosition = s.CustomPosition;
  Left = s.Left, Top = s.Top;
  TChartCustomShape::Assign(s);
}

void TLegendTitle::Assign(const TLegendTitle& s) {
  Text = s.Text;
  TextAlignment = s.TextAlignment;
  TChartCustomShape::Assign(s);
}

void TChartLegend::Assign(const TChartLegend& s) {
  Alignment = s.Alignment, CheckBoxes = s.CheckBoxes, checkBoxesStyle_ = s.checkBoxesStyle_;
  ColorWidth = s.ColorWidth, CurrentPage = s.CurrentPage, CustomPosition = s.CustomPosition;
  Left = s.Left, Top = s.Top, FontSeriesColor = s.FontSeriesColor, Inverted = s.Inverted;
  ResizeChart = s.ResizeChart, HorizMargin = s.HorizMargin, VertMargin = s.VertMargin;
  MaxNumRows = s.MaxNumRows, TopPos = s.TopPos, VertSpacing = s.VertSpacing;
  LegendStyle = s.LegendStyle, TextStyle = s.TextStyle, firstValue_ = s.firstValue_;
  Symbol.Visible = s.Symbol.Visible, Symbol.Squared = s.Symbol.Squared, Symbol.Width = s.Symbol.Width;
  Symbol.Continuous = s.Symbol.Continuous, Symbol.DefaultPen = s.Symbol.DefaultPen;
  Symbol.WidthUnits = s.Symbol.WidthUnits, Symbol.Position = s.Symbol.Position;
  Symbol.Pen.Assign(s.Symbol.Pen);
  Symbol.OnDraw = s.Symbol.OnDraw;
  DividingLines.Assign(s.DividingLines);
  title_.Assign(s.title_);
  TChartCustomShape::Assign(s);
}

void TChartWall::Assign(const TChartWall& s) {
  Size = s.Size, Dark3D = s.Dark3D, AutoHide = s.AutoHide;
  TChartCustomShape::Assign(s);
}

void TCustomChart::Assign(const TCustomChart& s) {
  ColorPaletteIndex = s.ColorPaletteIndex;
  title_->Assign(*s.title_), subTitle_->Assign(*s.subTitle_);
  foot_->Assign(*s.foot_), subFoot_->Assign(*s.subFoot_);
  legend_->Assign(*s.legend_);
  ScrollMouseButton = s.ScrollMouseButton;
  backWall_->Assign(*s.backWall_), leftWall_->Assign(*s.leftWall_);
  bottomWall_->Assign(*s.bottomWall_), rightWall_->Assign(*s.rightWall_);
  TCustomAxisPanel::Assign(s);
}
