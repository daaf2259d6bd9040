#pragma once
// The block-error trace: one sample per received RDS block (its error class
// 0..3) written round a ring of samples, drawn as a line across a paint box.
// The part just written is lime; the older sweep to the right of the write
// position fades in from the background colour.
#include <QImage>
#include <QPoint>
#include <QObject>
#include <QPointer>
#include <array>
#include <chrono>
#include <cstdint>
#include <vector>

class QWidget;

struct TTraceSegment {
  int X1, Y1, X2, Y2;
  uint32_t Color;  // 0x00BBGGRR
  bool operator==(const TTraceSegment&) const = default;
};

constexpr uint32_t kBlockErrorBackground = 0x1C3717;
constexpr uint32_t kBlockErrorLime = 0x00FF00;

// The segments that draw `samples` with the write position at `pos`.
std::vector<TTraceSegment> BlockErrorTrace(const std::vector<uint8_t>& samples, int pos, int step, double yScale);

class TBlockError : public QObject {
  Q_OBJECT
 public:
  static constexpr int kStep = 2;  // pixels per sample

  // Takes over the box's painting; the ring holds one sample per 2 pixels of
  // the box's width at creation.
  explicit TBlockError(QWidget* Box);
  ~TBlockError() override;

  void Reset();
  // Writes the next sample (0..3; larger values count as 3) and repaints the
  // box: at once, or with the next turn of the event loop when it was
  // painted less than a frame ago.
  void AddSample(int Value);
  // Copies the bitmap onto the box.
  void Paint();

  int Count() const { return static_cast<int>(Samples_.size()); }
  int Pos() const { return Pos_; }
  double YScale() const { return YScale_; }
  const std::vector<uint8_t>& Samples() const { return Samples_; }
  // The trace as the box shows it.
  const QImage& Bitmap();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QPointer<QWidget> Box;
  QImage Bitmap_;
  int Width = 0;
  int Height = 0;
  std::vector<uint8_t> Samples_;
  int Pos_ = 0;
  double YScale_ = 0;
  // Segments changed since the bitmap was drawn, [DirtyFrom_, DirtyTo_];
  // empty when DirtyFrom_ > DirtyTo_. A new sample changes its two segments
  // and the faded sweep after it, not the whole ring.
  int DirtyFrom_ = 0;
  int DirtyTo_ = -1;
  void MarkDirty(int from, int to);
  // The next sample redraws the whole trace: nothing of it is drawn yet, or
  // a reset left the old trace on show.
  bool Whole_ = true;
  // The box's columns that segments from..to draw on.
  QRect Columns(int from, int to) const;
  std::array<std::vector<QPoint>, 16> Strokes_;  // by class from * 4 + class to
  // The box is painted at once unless it was painted less than a frame ago.
  static constexpr std::chrono::milliseconds kFrame{16};
  std::chrono::steady_clock::time_point LastPaint_{};
};
