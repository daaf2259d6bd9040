#pragma once
// The station table's print preview: the Band Info rows as a table page,
// rendered once per printer and page set-up into a metafile the window owns,
// and placed on the page by the shared preview.
#include <QString>
#include <array>
#include <vector>

#include "platform/Metafile.h"
#include "ui/PrintPreview.h"

// A printed station row: Freq, Mode, Level, PI, PS, AF List.
using TBandInfoPrintRow = std::array<QString, 6>;

// The table pages at a printer's resolution: on each, the logo tiled faintly
// over the page, the title "Band Info", the description and a header row,
// then the station rows that fit; a cell wider than its column wraps onto
// further lines. Rows that do not fit go on to further pages.
std::vector<TDisplayList> BandInfoTablePages(const std::vector<TBandInfoPrintRow>& Rows, const QString& Description,
                                             TSize Page, int DpiX, int DpiY, const QImage& Logo);
// The first of them.
TDisplayList BandInfoTablePage(const std::vector<TBandInfoPrintRow>& Rows, const QString& Description,
                               TSize Page, int DpiX, int DpiY, const QImage& Logo);

class TBandInfoPrintForm : public TPrintPreviewBase {
 public:
  TBandInfoPrintForm(std::vector<TBandInfoPrintRow> Rows, QString Description, QWidget* Owner = nullptr);

  const TDisplayList& Page() const { return pages_.front(); }
  const std::vector<TDisplayList>& Pages() const { return pages_; }

 protected:
  int PageCount() override { return int(pages_.size()); }
  TSize ContentSize() override { return pages_.front().Size; }
  void DrawContent(IDeviceContext& Dc, const TRect& R) override;
  void PrinterChanged() override { BuildPage(); }

 private:
  void BuildPage();

  std::vector<TBandInfoPrintRow> rows_;
  QString description_;
  std::vector<TDisplayList> pages_;
};
