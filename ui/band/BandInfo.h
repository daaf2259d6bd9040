#pragma once
// The Band Info station list: one row per station the band analyzer found or
// the operator added at the marker. Rows are sorted by any column, removed,
// printed and double-clicked to tune. The analyzer creates the window and only
// hides it; the list follows the analyzer's station records through
// IBandScanObserver.
#include <QWidget>
#include <array>
#include <optional>
#include <vector>

#include "ui/band/BandScan.h"

class QPushButton;
class QTableWidget;

// What the list needs of the band analyzer.
class IBandInfoHost {
 public:
  virtual ~IBandInfoHost() = default;
  // A scan is pending or running.
  virtual bool ScanBusy() const = 0;
  virtual void StopAnalyze() = 0;
  virtual const std::vector<TSplinePoint>& Smooth() const = 0;
  virtual const std::vector<TColumnRecord>& Stations() const = 0;
  virtual std::string DescriptionStamped() const = 0;
  // Where the marker cursor stands (MHz).
  virtual double MarkerX() const = 0;
  virtual void Tune(double MHz) = 0;
  virtual void SetMarker(int Point) = 0;
  // Removes the point's record; the list hears StationsReset.
  virtual void RemoveStation(int Point) = 0;
};

// The host over the analyzer's controller and its receiver.
class TBandScanInfoHost final : public IBandInfoHost {
 public:
  TBandScanInfoHost(TBandScanController& Controller, IBandScanReceiver& Receiver)
      : controller_(Controller), rx_(Receiver) {}
  bool ScanBusy() const override { return controller_.ScanPending() || controller_.Scanning(); }
  void StopAnalyze() override { controller_.StopAnalyze(); }
  const std::vector<TSplinePoint>& Smooth() const override { return controller_.Smooth(); }
  const std::vector<TColumnRecord>& Stations() const override { return controller_.Stations(); }
  std::string DescriptionStamped() const override { return controller_.DescriptionStamped(); }
  double MarkerX() const override { return controller_.CursorX(); }
  void Tune(double MHz) override { rx_.SetFrequency(MHz); }
  void SetMarker(int Point) override { controller_.SetMarker(Point); }
  void RemoveStation(int Point) override { controller_.RemoveStation(Point); }

 private:
  TBandScanController& controller_;
  IBandScanReceiver& rx_;
};

// Runs the station table's print preview modally (the preview's own unit).
void RunBandInfoPrint(const std::vector<std::array<QString, 6>>& Rows, const QString& Description, QWidget* Owner);

class TBandInfoForm : public QWidget, public IBandScanObserver {
  Q_OBJECT
 public:
  enum TColumn { colNo, colID, colFreq, colMode, colLevel, colPI, colPS, colAF, kColumns };
  // The texts a printed row shows: Freq, Mode, Level, PI, PS, AF List.
  using TPrintRow = std::array<QString, 6>;

  explicit TBandInfoForm(IBandInfoHost& Host, QWidget* Owner = nullptr);
  ~TBandInfoForm() override;

  QTableWidget* infoList;
  QPushButton* btnDelSel;
  QPushButton* btnAdd;
  QPushButton* btnHide;
  QPushButton* btnPrint;
  QPushButton* btnClearAll;
  QPushButton* btnClearNonRDS;

  void AddStation(const TColumnRecord& Record);
  void UpdateStation(const TColumnRecord& Record);

  // IBandScanObserver: the station rows follow the host's records.
  void StationsReset() override;
  void StationAdded(int Index) override;
  void StationUpdated(int Index) override;

  int SortColumn() const { return sortColumn_; }
  // A cell's text; nullopt where the row has no such sub-item.
  std::optional<QString> Cell(int Row, int Column) const;
  int SelectedRow() const;
  void SelectRow(int Row);
  std::vector<TPrintRow> PrintRows() const;

  void btnClearAllClick();
  void btnClearNonRDSClick();
  void btnDelSelClick();
  void btnAddClick();
  void btnPrintClick();
  void infoListColumnClick(int Column);
  void infoListDblClick();
  // -1, 0 or 1 as row A's key is smaller, equal or greater in the sort column.
  int infoListCompare(int A, int B) const;

 protected:
  bool eventFilter(QObject* Watched, QEvent* Event) override;

 private:
  struct TRow {
    std::array<std::optional<QString>, kColumns> Cells;
  };
  void Sort();
  void Refill();
  void Renumber();
  void EnablePrint();
  // The selected row's ID as a point number, or nullopt ("??").
  std::optional<int> SelectedPoint() const;

  IBandInfoHost& host_;
  std::vector<TRow> rows_;
  int sortColumn_ = 0;
  // Counts the rebuilds of the list from the host's records.
  int resets_ = 0;
};
