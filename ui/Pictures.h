#pragma once
// The program's own pictures, drawn at run time (no picture files are
// shipped): the readout's digit glyphs, the arrow buttons, the lamps, the
// maker's logo and the splash and about pictures. Also the image list that
// the display controls draw from, and the two helpers that turn a picture's
// top-left colour into transparency.
#include <QImage>
#include <QObject>
#include <QPointer>
#include <QRegion>
#include <QSize>
#include <QStringList>
#include <cstdint>
#include <vector>

class QPainter;
class QWidget;

// A colour value stored the way the window layouts and the device pages give
// it: 0x00BBGGRR (red in the lowest byte).
QColor ColorFromTColor(uint32_t color);

// A list of equally sized pictures addressed by index.
class TImageList : public QObject {
  Q_OBJECT
 public:
  TImageList(int width, int height, QObject* parent = nullptr);

  int Width() const { return Size.width(); }
  int Height() const { return Size.height(); }
  int Count() const { return static_cast<int>(Images.size()); }
  // Appends a picture (brought to the list's size) and returns its index.
  int Add(const QImage& image);
  void Clear();
  // The picture at `index`; a null image when the index is out of range.
  QImage Image(int index) const;
  // Draws picture `index` with its top-left corner at (x, y); an index out of
  // range draws nothing.
  void Draw(QPainter& painter, int x, int y, int index) const;

 private:
  QSize Size;
  std::vector<QImage> Images;
};

// Points a picture control's `slot` at an image list: the control takes the
// size of the list's pictures (30 x 30 when it has none) and repaints, also
// when the list is freed elsewhere.
void AttachImageList(QWidget* control, QPointer<TImageList>& slot, TImageList* list);

// The picture with every pixel of exactly its top-left colour made fully
// transparent (the key-colour transparency of the picture buttons).
QImage KeyColorTransparent(const QImage& picture);
// The picture's rectangle minus every horizontal run of pixels of exactly its
// top-left colour: the outline a shaped window takes from its picture.
QRegion RegionWithoutKeyColor(const QImage& picture);

// Digit glyphs of the frequency readout: 0..9, 10 blank, 11 decimal point,
// then the same twelve in the dimmed look (12..23). The point is drawn in the
// leftmost 5 columns, since the next digit is placed 5 pixels to its right.
constexpr int kDigitGlyphWidth = 15;
constexpr int kDigitGlyphHeight = 24;
// A readout box that holds hundreds, tens, units, the point and the tenths.
constexpr int kFreqDisplayWidth = 65;
TImageList* MakeDigitGlyphs(QObject* parent = nullptr);

// Arrow buttons, 30 x 30, four pictures per button (normal, disabled, mouse
// over, pressed) on a key-colour background: left 0, right 4, search left 8,
// search right 12.
constexpr int kArrowButtonSize = 30;
TImageList* MakeArrowButtonStates(QObject* parent = nullptr);

// Round lamps, `size` x `size`, as pairs (lit, dark): green 0/1, red 2/3,
// amber 4/5.
TImageList* MakeLampStates(int size = 14, QObject* parent = nullptr);
// Labelled lamps, one pair (lit, dark) per label, in label order.
TImageList* MakeTextLampStates(const QStringList& labels, int width, int height,
                               QObject* parent = nullptr);

// The maker's logo (transparent background).
QImage MakeLogoPicture();
// The splash picture; the status text is written over its lower band.
QImage MakeSplashPicture();
// Where the splash window puts its status text on the splash picture.
QRect SplashStatusRect();
// The about picture: a rounded card on a key-colour background.
QImage MakeAboutPicture();
