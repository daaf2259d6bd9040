#pragma once
// The band analyzer window: the spectrum chart over the scan controller, the
// scan controls, zoom, picture export and print, and the Band Info and
// settings windows. The controller holds every rule of the scan and the
// visits; the window shows what it reports through IBandScanObserver.
#include <QWidget>
#include <functional>
#include <memory>
#include <string>

#include "ui/band/BandInfo.h"
#include "ui/band/BandScan.h"
#include "ui/band/BandSet.h"

class QLabel;
class QPushButton;
class QRadioButton;
class QScrollBar;
class QTimer;
class TChartHost;
class TChartSeries;
class TDBNumberEditEx;
struct TSpectrumChart;

// The range edits (their own unit; see BandAnalyzerEdits.cpp).
TDBNumberEditEx* NewRangeEdit(QWidget* Parent, double Value);
QWidget* RangeEditWidget(TDBNumberEditEx* Edit);
std::string RangeEditShown(TDBNumberEditEx* Edit);
void SetRangeEditShown(TDBNumberEditEx* Edit, const std::string& Text);
// Runs Action when Enter is released in the edit.
void OnRangeEditEnter(TDBNumberEditEx* Edit, std::function<void()> Action);

// Where Band Info goes: its frame directly below the analyzer's frame, from
// the screen's left edge across the screen's width. Returns the client
// rectangle that puts the frame there, given the margins the window manager
// draws around Band Info's client area (its title bar among them).
QRect BandInfoClientRect(const QRect& AnalyzerFrame, const QRect& Screen, const QMargins& InfoFrame,
                         int ClientHeight);

class TBandAnalyzerForm : public QWidget, public IBandScanObserver, public IBandSetView {
 public:
  // Pictures the export writes, in the save dialog's filter order.
  enum TExportKind { ekJpeg = 1, ekBitmap, ekMetafile, ekEnhancedMetafile };
  static constexpr int kMinZoom = 100, kMaxZoom = 210;
  // While scanning, each point's segment is drawn at once; the marker that
  // follows it and the overlay come with a whole frame at most this often.
  static constexpr int64_t kScanFrameMs = 100;

  TBandAnalyzerForm(IBandScanReceiver& Receiver, IClock& Clock, TSettingsRecord& Settings,
                    std::function<void(const TSettingsRecord&)> SaveSettings, QWidget* Owner = nullptr);
  ~TBandAnalyzerForm() override;

  TBandScanController& Controller() { return controller_; }
  TSpectrumChart& Spectrum() { return *spectrum_; }
  TBandInfoForm& BandInfo() { return *bandInfo_; }

  TChartHost* SpectrumHost;
  QRadioButton* stPrecise;
  QRadioButton* stNormal;
  QRadioButton* stFast;
  QLabel* lblStart;
  QLabel* lblEnd;
  TDBNumberEditEx* freqStart;
  TDBNumberEditEx* freqEnd;
  QPushButton* btnScan;
  QPushButton* btnAnalyze;
  QPushButton* btnZoomIn;
  QPushButton* btnZoomOut;
  QPushButton* btnExport;
  QPushButton* btnPrint;
  QPushButton* btnSettings;
  QPushButton* btnBandInfo;
  QPushButton* btnMPXGraph;
  QScrollBar* ZoomInScrollBar;

  // The main window hears when the analyzer takes the receiver (true) and
  // gives it back (false); the MPX Analyzer button opens that window.
  std::function<void(bool Busy)> OnBusyChanged;
  std::function<void()> OnMPXGraph;
  // The export's file name and format (filter index), or an empty name.
  // Tests set it; by default the save dialog.
  std::function<std::pair<QString, int>(const QString& DefaultName)> AskExportFile;

  // Scan pending, scanning or analyzing.
  bool Busy() const;
  int Zoom() const { return zoom_; }
  // The overlay's text line (Latin-1, as drawn).
  std::string OverlayText() const;
  // The date and time the chart's last frame shows (seconds included).
  const std::string& ShownClock() const { return shownClock_; }

  // Closing stops the scan or the analysis, gives the tuner back and hides
  // Band Info.
  void FormClose();
  void btnScanClick();
  void btnAnalyzeClick();
  // Enter in a range box: an empty box gets the band's end, then the value
  // is clamped to the band and written back.
  void freqStartKeyUp();
  void freqEndKeyUp();
  void btnZoomInClick();
  void btnZoomOutClick();
  void ZoomInScrollBarScroll(int Position);
  // A double-click on the chart at pixel (X, Y).
  void SpectrumDblClick(int X, int Y);
  void btnExportClick();
  // Writes the chart as the kind asks; false when the file was not written.
  bool ExportChart(const QString& FileName, int Kind);
  void btnPrintClick();
  void btnBandInfoClick();
  void btnSettingsClick();
  // Moves the start of the search-level band (a raw receiver level); the
  // tuner settings dialog previews its level buttons there.
  void SetSearchBandStart(double Level);
  double SearchBandStartValue() const;

  // IBandScanObserver
  void ModeChanged() override;
  void PointAppended() override;
  void ScanEnded() override;
  void StationsReset() override;
  void StationAdded(int Index) override;
  void StationUpdated(int Index) override;
  void MarkChanged(int Point) override;
  void CursorMoved() override;

  // IBandSetView
  void ShowVisual(TBandVisual Visual, bool Shown) override;
  void SetVisualColor(TBandVisual Visual, int32_t Color) override;
  void ShowRangeEdits(bool Shown) override;
  void SetRangeTexts(const std::string& Start, const std::string& End) override;
  void HideStationLabels() override;
  void ApplySettings(const TSettingsRecord& Settings) override;

 protected:
  void resizeEvent(QResizeEvent* Event) override;
  void closeEvent(QCloseEvent* Event) override;
  bool eventFilter(QObject* Watched, QEvent* Event) override;

 private:
  void SpectrumAfterDraw();
  void SpectrumScroll();
  void ChartToolHChange();
  void ChartToolVChange();
  void TimeUpdateTimer();
  // The clock's next tick: just after the next second begins.
  void ScheduleClockTick();
  void Repaint();
  // A whole frame now, or held back until kScanFrameMs after the last one.
  void ScheduleFrame();
  void SetRange(double Min, double Max);
  void UpdateButtons();
  void SyncCursors();
  // The series of a curve; nullptr for the search band.
  TChartSeries* VisualSeries(TBandVisual Visual) const;

  TSettingsRecord& settings_;
  std::function<void(const TSettingsRecord&)> save_;
  std::unique_ptr<TSpectrumChart> spectrum_;
  TBandScanController controller_;
  TBandScanInfoHost infoHost_;
  std::unique_ptr<TBandInfoForm> bandInfo_;
  QTimer* timeUpdate_;
  QTimer* heldFrame_;
  IClock& clock_;
  int zoom_ = kMinZoom;
  int64_t lastDrawMs_ = 0;
  std::string shownClock_;
  bool busy_ = false;
};
