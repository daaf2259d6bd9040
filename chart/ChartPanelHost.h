#pragma once
// The window of a chart panel: shows the panel's pixels, hands the mouse to
// the panel (whose listeners may stop it), restores the cursor when the
// mouse leaves and keeps the panel's size and rounded window region.
#include <QWidget>

class TCustomChartPanel;

class TChartPanelHost : public QWidget {
 public:
  // The panel must outlive the host.
  explicit TChartPanelHost(TCustomChartPanel& panel, QWidget* parent = nullptr);
  ~TChartPanelHost() override;
  TCustomChartPanel& Panel() { return panel_; }

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void leaveEvent(QEvent* event) override;

 private:
  void ApplyRegion();
  // A new frame is drawn when the event loop comes back, and only the part
  // of the window it changed is repainted.
  void RequestFrame();
  void ShowFrame();
  TCustomChartPanel& panel_;
  bool framePending_ = false;
};
