#pragma once
// The pocket calculator control (display and 23 keys) and its popup form,
// which the numeric edit drops down.
#include <QFrame>
#include <QLabel>
#include <QWidget>
#include <array>
#include <functional>
#include <optional>

#include "controls/CalculatorModel.h"
#include "controls/ToolCtrlsEx.h"

class TCalculatorEx : public QWidget {
  Q_OBJECT
 public:
  // Layout of the keys at the design text height; the control scales itself
  // when its font's text height differs.
  static constexpr int kDesignTextHeight = 13;
  static constexpr int kDesignWidth = 184;
  static constexpr int kDesignHeight = 127;
  static constexpr int kKeyCount = 23;

  explicit TCalculatorEx(QWidget* parent = nullptr);

  // Key characters by tag (1..23); tag 18 is Backspace, 12 (Cancel) 'A'.
  static char KeyChar(int tag);
  static QString KeyCaption(int tag);

  TSpeedButtonEx* Key(int tag) const;
  TSpeedButtonEx* spEqual() const { return Key(23); }
  QLabel* TextBox() const { return textBox_; }
  const TCalculatorModel& Model() const { return model_; }

  void SetValue(double value);
  std::optional<double> Value() const { return model_.Value(); }
  QString DisplayText() const;

  // A key character, as a typed key or a clicked key sends it.
  virtual void CalcKey(char c);
  void SetFlatKeys(bool flat);

  QSize sizeHint() const override;

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;
  void changeEvent(QEvent* event) override;

  virtual void SpeedButtonClick(TEditButtonControlEx* key);
  void Copy();
  void Paste();
  void UpdateDisplay();

  TCalculatorModel model_;

 private:
  void LayoutKeys();
  QFrame* panel_;
  QLabel* textBox_;
  std::array<TSpeedButtonEx*, kKeyCount> keys_{};
  QSize clientSize_{kDesignWidth, kDesignHeight};
};

// The calculator in a popup window of its own: Enter or '=' while the equal
// key reads "Ok" closes it with the result, Esc or a click elsewhere without.
class TPopupCalculatorEx : public TCalculatorEx {
  Q_OBJECT
 public:
  explicit TPopupCalculatorEx(QWidget* owner);

  void Popup(const QRect& screenRect);
  void CloseUp(bool accept);
  bool IsOpen() const { return open_; }
  void SetFlat(bool flat);

  void CalcKey(char c) override;

  std::function<void(bool accept)> OnCloseUp;

 protected:
  // The Cancel key closes the popup without taking its result.
  void SpeedButtonClick(TEditButtonControlEx* key) override;
  void keyPressEvent(QKeyEvent* event) override;
  void hideEvent(QHideEvent* event) override;
  void paintEvent(QPaintEvent* event) override;

 private:
  bool open_ = false;
  bool flat_ = false;
};
