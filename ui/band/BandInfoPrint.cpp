#include "ui/band/BandInfoPrint.h"

#include <QPainter>
#include <algorithm>
#include <memory>
#include <utility>

#include "chart/ChartPanel.h"
#include "platform/RecordingDC.h"

namespace {

constexpr const char* kHeader[] = {"Freq", "Mode", "Level", "PI", "PS", "AF List"};
// Shares of the table's width: on a portrait page, wide enough by the width
// of "W" for "108.0 MHz", "Unknown", "45.4 dBµV", a PI and a PS, and for the
// AF list's "Not Transmitted or Unknown" on one line.
constexpr int kColumnShare[] = {14, 11, 14, 7, 13, 41};
constexpr int kTileRows = 20;

std::string Latin1Of(const QString& s) { return s.toLatin1().toStdString(); }

// The text cut into lines of at most Chars characters, at a blank (which
// goes) or after a comma of a list where it can: a word is cut only when it
// is longer than a whole line.
std::vector<QString> Wrapped(const QString& Text, int Chars) {
  std::vector<QString> lines;
  qsizetype i = 0;
  while (Text.size() - i > Chars) {
    qsizetype end = i + Chars, next = end;
    for (qsizetype k = end; k > i; --k) {
      if (Text[k] == ' ') {
        end = k, next = k + 1;
        break;
      }
      if (Text[k - 1] == ',') {
        end = next = k;
        break;
      }
    }
    lines.push_back(Text.mid(i, end - i));
    i = next;
  }
  if (i < Text.size() || lines.empty()) lines.push_back(Text.mid(i));
  return lines;
}

QImage Faded(const QImage& Logo) {
  QImage out(Logo.size(), QImage::Format_ARGB32);
  out.fill(Qt::transparent);
  QPainter p(&out);
  p.setOpacity(0.08);
  p.drawImage(0, 0, Logo);
  return out;
}

}  // namespace

std::vector<TDisplayList> BandInfoTablePages(const std::vector<TBandInfoPrintRow>& Rows, const QString& Description,
                                             TSize Page, int DpiX, int DpiY, const QImage& Logo) {
  const int pad = DpiX / 4;
  const int gap = std::max(1, 10 * DpiY / 96);
  const TDCFont title{"Arial", -(16 * DpiY / 72), 700};
  const TDCFont body{"Arial", -(9 * DpiY / 72), 400};
  TDCFont bold = body;
  bold.Weight = 700;
  const QImage tile = Logo.isNull() ? QImage() : Faded(Logo);
  const int tableW = Page.cx - 2 * pad;
  int left[6];
  int widths[6];
  for (int c = 0, x = pad; c < 6; ++c) {
    left[c] = x;
    widths[c] = tableW * kColumnShare[c] / 100;
    x += widths[c];
  }

  std::vector<TDisplayList> pages;
  std::unique_ptr<TRecordingDC> dc;
  int y = 0;
  // A row's cells cut into their column's lines; the number of lines it takes.
  auto wrap = [&](const TBandInfoPrintRow& cells, std::array<std::vector<QString>, 6>& wrapped) {
    const int charW = std::max(1, dc->TextExtent("W").cx);
    size_t lines = 1;
    for (int c = 0; c < 6; ++c) {
      wrapped[size_t(c)] = Wrapped(cells[size_t(c)], std::max(1, widths[c] / charW));
      lines = std::max(lines, wrapped[size_t(c)].size());
    }
    return int(lines);
  };
  auto drawRow = [&](const TBandInfoPrintRow& cells) {
    std::array<std::vector<QString>, 6> wrapped;
    const int lines = wrap(cells, wrapped);
    for (int c = 0; c < 6; ++c)
      for (size_t l = 0; l < wrapped[size_t(c)].size(); ++l)
        dc->TextOut(left[c], y + int(l) * dc->TextMetrics().Height, Latin1Of(wrapped[size_t(c)][l]));
    y += lines * dc->TextMetrics().Height + gap;
  };
  // Each page: the logo tiles, the title, the description and the header.
  auto newPage = [&] {
    if (dc) pages.push_back({Page, std::move(dc->List)});
    dc = std::make_unique<TRecordingDC>(Page);
    // Logo tiles as if the picture were drawn at 96 dpi.
    if (!tile.isNull()) {
      const int w = std::max(1, Logo.width() * DpiX / 96), h = std::max(1, Logo.height() * DpiY / 96);
      for (int row = 0; row < kTileRows; ++row) {
        const int ty = row * Page.cy / kTileRows;
        for (int x = 0; x < Page.cx; x += w + 10) dc->StretchDraw({x, ty, x + w, ty + h}, tile);
      }
    }
    dc->SetBkMode(TDCBkMode::Transparent);
    dc->SetTextColor(clBlack);
    dc->SetTextAlign(TA_LEFT | TA_TOP);
    y = pad;
    dc->SetFont(title);
    dc->TextOut(pad, y, "Band Info");
    y += dc->TextMetrics().Height;
    dc->SetFont(body);
    dc->TextOut(pad, y, Latin1Of(Description));
    y += dc->TextMetrics().Height + gap;
    dc->SetFont(bold);
    TBandInfoPrintRow header;
    for (int c = 0; c < 6; ++c) header[size_t(c)] = QString::fromLatin1(kHeader[c]);
    drawRow(header);
    TDCPen pen;
    pen.Width = std::max(1, DpiY / 96);
    dc->SetPen(pen);
    dc->MoveTo(pad, y - gap / 2);
    dc->LineTo(pad + tableW, y - gap / 2);
    dc->SetFont(body);
  };

  newPage();
  bool pageHasRows = false;
  for (const TBandInfoPrintRow& row : Rows) {
    std::array<std::vector<QString>, 6> wrapped;
    const int height = wrap(row, wrapped) * dc->TextMetrics().Height;
    // A row that does not fit goes on to the next page; one taller than a
    // whole page is printed as far as it goes rather than never.
    if (pageHasRows && y + height > Page.cy - pad) {
      newPage();
      pageHasRows = false;
    }
    drawRow(row);
    pageHasRows = true;
  }
  pages.push_back({Page, std::move(dc->List)});
  return pages;
}

TDisplayList BandInfoTablePage(const std::vector<TBandInfoPrintRow>& Rows, const QString& Description,
                               TSize Page, int DpiX, int DpiY, const QImage& Logo) {
  return BandInfoTablePages(Rows, Description, Page, DpiX, DpiY, Logo).front();
}

TBandInfoPrintForm::TBandInfoPrintForm(std::vector<TBandInfoPrintRow> Rows, QString Description,
                                       QWidget* Owner)
    : TPrintPreviewBase(Owner), rows_(std::move(Rows)), description_(std::move(Description)) {
  setObjectName("BandInfoPrintForm");
  BuildPage();
  Start();
}

void TBandInfoPrintForm::BuildPage() {
  const TCustomChartPanel::TPageInfo info = PageInfoOf(Printer());
  pages_ = BandInfoTablePages(rows_, description_, TSize{info.Width, info.Height}, info.DpiX, info.DpiY, LogoPicture());
}

void TBandInfoPrintForm::DrawContent(IDeviceContext& Dc, const TRect& R) {
  const TDisplayList& page = pages_[size_t(std::clamp(CurrentPage(), 0, PageCount() - 1))];
  Dc.SetMapping(TDCMapping{{0, 0}, {page.Size.cx, page.Size.cy}, {R.Left, R.Top}, {R.Width(), R.Height()}});
  ReplayDisplayList(page.Records, Dc);
  Dc.SetMapping(TDCMapping{});
}

void RunBandInfoPrint(const std::vector<TBandInfoPrintRow>& Rows, const QString& Description, QWidget* Owner) {
  TBandInfoPrintForm preview(Rows, Description, Owner);
  preview.exec();
}
