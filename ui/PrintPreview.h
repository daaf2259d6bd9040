#pragma once
// The print-preview window the analyzers' previews share: the printer group
// (system printers, setup), the paper margin, the page preview and the Print
// button. A preview names what it prints by overriding ContentSize and
// DrawContent; the base places it on the page with the maker's logo below it.
// Where no printer is installed the page goes to a PDF file the user names.
#include <QDialog>
#include <QImage>
#include <QPrinter>
#include <functional>

#include "platform/DeviceContext.h"

class QComboBox;
class QGroupBox;
class QLabel;
class QPushButton;
class QSlider;

// Where a page's content and logo go (device pixels of a W x H page).
struct TPrintPageLayout {
  TRect Content;
  TRect Logo;
};
// The content fills the width between the margins (MarginPercent of the
// page's width and height on each side), keeping its aspect, centred
// vertically; the logo sits in its lower right corner, its height
// (content width div 25) * 10 div 20, its width in the logo's aspect.
TPrintPageLayout PrintPageLayoutOf(int W, int H, int MarginPercent, TSize ContentSize, TSize LogoSize);

// (No Q_OBJECT here or in the previews: they need no signals of their own, and
// the device-context types must stay out of the shared moc unit, where the
// receiver's rectangle of the same name is seen.)
class TPrintPreviewBase : public QDialog {
 public:
  static constexpr const char* kJobTitle = "Band Analyzer";

  explicit TPrintPreviewBase(QWidget* Owner = nullptr);
  ~TPrintPreviewBase() override;

  QGroupBox* PrinterGroup;
  QComboBox* cbPrinters;
  QPushButton* priterSetup;
  QSlider* paperMargin;
  QLabel* marginT;
  QLabel* imgPreview;
  QLabel* logo;  // hidden: the picture printed below the content
  QPushButton* btnPrint;
  // Where a preview adds its own controls (below the margin).
  QWidget* OptionsArea;

  QPrinter& Printer() { return printer_; }
  int Margin() const { return margin_; }
  QImage LogoPicture() const { return logoPicture_; }
  // The picture the preview shows.
  QImage PreviewImage() const { return preview_; }

  // Asks for the PDF file when no printer is installed; an empty name
  // cancels. Tests set it; by default a save dialog.
  std::function<QString()> AskPdfFileName;
  // The printer setup dialog; true when confirmed. By default the system's.
  std::function<bool(QPrinter&)> RunPrinterSetup;

  void priterSetupClick();
  void cbPrintersChange(int Index);
  void paperMarginChange(int Position);
  // Prints the page; false when no printer or file was chosen or the job
  // failed (a failed job says so in a message box).
  bool btnPrintClick();
  // Renders the preview picture again.
  void RenderPreview();

 protected:
  // The print job's name.
  QString JobTitle = kJobTitle;
  // Off where the content carries the logo itself.
  bool LogoBelowContent = true;
  // Fills the printer list and renders the first preview (call from the
  // preview's constructor, once the content is ready).
  void Start();
  // How many pages the content takes; DrawContent draws the page CurrentPage()
  // (counted from 0). The preview shows every page, one below the other.
  virtual int PageCount() { return 1; }
  int CurrentPage() const { return currentPage_; }
  // The content's own size (its aspect is kept on the page).
  virtual TSize ContentSize() = 0;
  virtual void DrawContent(IDeviceContext& Dc, const TRect& R) = 0;
  // The printer or its page changed.
  virtual void PrinterChanged() {}

 private:
  // Draws the page of W x H device pixels with its top-left corner at Origin.
  void DrawPage(IDeviceContext& Dc, int W, int H, TPoint Origin);
  void SelectCurrentPrinter();

  QPrinter printer_{QPrinter::HighResolution};
  int margin_ = 3;
  int currentPage_ = 0;
  QImage logoPicture_;
  QImage preview_;
};
