#pragma once
// A chart panel that draws a known picture: its face, a red plot rectangle
// with a line and a text; it can be told to fail while drawing.
#include <stdexcept>

#include "chart/ChartPanel.h"

class TSamplePanel : public TCustomChartPanelExtended {
 public:
  bool Fail = false;
  bool FillFrame = true;  // a blue frame even on paper, where the face is not filled
  void PaintContent(const TRect& r) override {
    if (Fail) throw std::runtime_error("drawing failed");
    TChartCanvas3D& c = Canvas();
    if (FillFrame) {
      c.DC().SetBrush({TDCBrushStyle::Solid, clBlue, {}});
      c.FillRect(r);
    }
    PaintPanelFace(r);
    c.DC().SetBrush({TDCBrushStyle::Solid, clRed, {}});
    c.FillRect(PlotRect);
    c.DC().SetPen({TDCPenStyle::Solid, 1, clBlack});
    c.Line(PlotRect.Left, PlotRect.Top, PlotRect.Right, PlotRect.Bottom);
    c.ResetToPlain();
    c.SetBackgroundMode(cbmTransparent);
    c.TextOut(PlotRect.Left + 4, PlotRect.Top + 4, "Fenwisk 98.5");
  }
};
