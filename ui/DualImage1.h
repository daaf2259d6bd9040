#pragma once
// Two-state indicator (the main window's stereo, RDS, USB and tuned lamps and
// the group lamps): with an image list it shows picture StartIndex while
// Enabled and StartIndex + 1 otherwise; without one it is a plain picture.
//
// Enabled is the indicator's own lit/dark state and is independent of the
// widget's input enabling (setEnabled), so a disabled parent does not change
// what the lamp shows.
#include <QPointer>

#include "ui/ImageEx.h"
#include "ui/Pictures.h"

class TDualImage1 : public TImage {
  Q_OBJECT
 public:
  explicit TDualImage1(QWidget* parent = nullptr);

  TImageList* States() const { return States_.data(); }
  // Sizes the control to the list's pictures (30 x 30 without pictures).
  void SetStates(TImageList* states);
  int StartIndex() const { return StartIndex_; }
  void SetStartIndex(int index);
  bool Enabled() const { return Enabled_; }
  void SetEnabled(bool on);

  // The list picture the control shows now, -1 when it shows its own picture.
  int PictureIndex() const;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QPointer<TImageList> States_;
  int StartIndex_ = 0;
  bool Enabled_ = true;
};
