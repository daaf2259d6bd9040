#pragma once
// The edit box with buttons inside its right edge, an optional image inside
// its left edge, an optional MRU list and a flat look (TCustomDBEditEx), and
// the numeric edit built on it (TCustomDBNumberEditEx, TDBNumberEditEx).
//
// The program binds none of its boxes to a data set, so the data link only
// runs its data-independent mode: the box's own value is the record.
#include <QLineEdit>
#include <QList>
#include <QPixmap>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "controls/CalculatorEx.h"
#include "controls/NumberEditModel.h"
#include "controls/ToolCtrlsEx.h"

using TNotifyEvent = std::function<void(QObject* Sender)>;
// Key is a Qt::Key value; a handler may set it to 0.
using TKeyEvent = std::function<void(QObject* Sender, int& Key, Qt::KeyboardModifiers Shift)>;
using TUpdateDataEvent = std::function<void(QObject* Sender, bool& Handled)>;
using TGetImageIndexEvent = std::function<void(QObject* Sender, int& ImageIndex)>;

// The link between a box and its record, data-independent: editing always
// succeeds, Modified is a plain flag, Reset makes the box re-read its value.
class TFieldDataLinkEx {
 public:
  bool DataIndependent() const { return true; }
  bool CanModify() const { return true; }
  bool Editing() const { return editing_; }
  bool Modified() const { return modified_; }
  void SetModified() { modified_ = true; }
  // Puts the link into edit mode (once).
  bool Edit();
  // The box re-reads its value; Modified is cleared.
  void Reset();
  // The box's value is the record: posting it only clears Modified.
  void UpdateRecord() { modified_ = false; }

  std::function<void()> OnDataChange;
  std::function<void()> OnEditingChange;

 private:
  bool editing_ = false;
  bool modified_ = false;
};

// The picture inside the left edge of the box.
class TEditImageEx {
 public:
  const QList<QPixmap>& Images() const { return images_; }
  void SetImages(const QList<QPixmap>& images);
  int ImageIndex() const { return imageIndex_; }
  void SetImageIndex(int index);
  // Records the index the box shows, without re-laying out the box.
  void StoreImageIndex(int index) { imageIndex_ = index; }
  bool Visible() const { return visible_; }
  void SetVisible(bool visible);
  int Width() const { return width_; }
  void SetWidth(int width);  // 0: the images' width
  bool UseImageHeight() const { return useImageHeight_; }
  void SetUseImageHeight(bool v);
  // Width of the area the image takes in the box (0 when none is shown).
  int AreaWidth() const;

  std::function<void()> Changed;

 private:
  void Change();
  QList<QPixmap> images_;
  int imageIndex_ = -1;
  bool visible_ = false;
  int width_ = 0;
  bool useImageHeight_ = true;
};

// The height an automatically sized box takes: the font's height (the
// image's, when UseImageHeight is on and it is taller) and the system's
// one-pixel border height eight times with the 3-D look, six without, two
// fewer when flat.
int AutoEditHeight(int FontHeight, int ImageHeight, bool UseImageHeight, bool Ctl3D, bool Flat);

class TCustomDBEditEx : public QLineEdit {
  Q_OBJECT
 public:
  explicit TCustomDBEditEx(QWidget* parent = nullptr);
  ~TCustomDBEditEx() override;

  TEditButtonEx& EditButton() { return *editButton_; }
  void SetEditButton(const TEditButtonEx& button) { editButton_->Assign(button); }
  TEditButtonsEx& EditButtons() { return editButtons_; }
  void SetEditButtons(const TEditButtonsEx& buttons) { editButtons_.Assign(buttons); }
  TEditImageEx& EditImage() { return image_; }
  TMRUListEx& MRUList() { return mruList_; }
  void SetMRUList(const TMRUListEx& list) { mruList_.Assign(list); }
  TFieldDataLinkEx& DataLink() { return dataLink_; }

  bool AlwaysShowBorder() const { return alwaysShowBorder_; }
  void SetAlwaysShowBorder(bool v);
  bool Flat() const { return flat_; }
  void SetFlat(bool v);
  bool ReadOnly() const { return isReadOnly(); }
  void SetReadOnly(bool v);
  bool WantTabs() const { return wantTabs_; }
  void SetWantTabs(bool v) { wantTabs_ = v; }
  bool WantReturns() const { return wantReturns_; }
  void SetWantReturns(bool v) { wantReturns_ = v; }
  bool AutoSelect() const { return autoSelect_; }
  void SetAutoSelect(bool v) { autoSelect_ = v; }
  Qt::Alignment Alignment() const { return alignment(); }
  void SetAlignment(Qt::Alignment a);
  char PasswordChar() const { return passwordChar_; }
  void SetPasswordChar(char c);
  // With AutoSize (the default) the box keeps the height its font and image
  // need (AutoHeight), whatever height its place offers; without it, any.
  bool AutoSize() const { return autoSize_; }
  void SetAutoSize(bool v);
  bool Ctl3D() const { return ctl3D_; }
  void SetCtl3D(bool v);
  int AutoHeight() const;

  bool Modified() const { return dataLink_.Modified(); }
  bool IsFocused() const { return focused_; }
  bool BorderActive() const { return borderActive_; }
  // A popup of the box (calculator or MRU list) is open.
  bool IsDroppedDown() const { return droppedDown_ || mruOpen_; }
  // The text area inside the frame, between image and buttons.
  QRect EditRect() const;

  // The controls of the buttons: 0 is EditButton, then the visible and
  // invisible items of EditButtons in order.
  int ButtonControlCount() const { return static_cast<int>(slots_.size()); }
  TEditButtonControlEx* ButtonControl(int index) const;
  TEditButtonControlEx* EditButtonControl() const { return ButtonControl(0); }
  TMRUListboxEx* MRUListbox() const { return mruListbox_; }

  virtual bool EditCanModify() const;
  virtual void DropDown();
  virtual void CloseUp(bool accept);
  // Writes the value to the link (OnUpdateData may take over), clears
  // Modified and adds the text to an active MRU list.
  virtual void UpdateData();

  TButtonClickEventEx OnButtonClick;
  TButtonDownEventEx OnButtonDown;
  TUpdateDataEvent OnUpdateData;
  TGetImageIndexEvent OnGetImageIndex;
  TNotifyEvent OnChange;
  TNotifyEvent OnEnter;
  TNotifyEvent OnExit;
  TKeyEvent OnKeyDown;
  TKeyEvent OnKeyUp;

 protected:
  TCustomDBEditEx(QWidget* parent, std::unique_ptr<TEditButtonEx> editButton);

  virtual Qt::Alignment DefaultAlignment() const { return Qt::AlignLeft | Qt::AlignVCenter; }
  // A press of a button (mouse or shortcut): focuses the box, drops the
  // press that closed a popup, fires OnButtonDown and the item's OnDown, then
  // EditButtonPress unless handled.
  virtual void EditButtonDown(TEditButtonEx* button, TEditButtonControlEx* control, bool top, bool& autoRepeat,
                              bool& handled);
  // What a press does: a DropdownMenu shows, else the drop-down opens (or
  // closes when open).
  virtual void EditButtonPress(TEditButtonEx* button, TEditButtonControlEx* control, bool top, bool& autoRepeat);
  virtual void EditButtonClick(TEditButtonEx* button, TEditButtonControlEx* control);
  // The value behind the box changed: re-read it.
  virtual void DataChanged() {}
  // After every change of the text.
  virtual void Change();
  // Whether a whole text (pasted or dropped) may stand in the box.
  virtual bool IsValidText(const QString& candidate) const { return true; }
  virtual int ValueImageIndex() const { return -1; }
  virtual void SetFocused(bool focused);

  // Writes the box's text with the guard set: Change() then knows that the
  // box itself wrote it.
  void WriteText(const QString& text);
  bool WritingText() const { return writingText_; }
  // The candidate text when `insert` replaces the selection.
  QString TextWithSelectionReplaced(const QString& insert) const;
  // The base key handling: button shortcuts, Ctrl+A, Esc, edit-mode entry.
  // Returns true when it consumed the key.
  bool BaseKeyDown(QKeyEvent* event);
  void PasteChecked();
  void UpdateImageIndex();
  bool DroppedDownCalc() const { return droppedDown_; }
  void SetDroppedDown(bool v) { droppedDown_ = v; }
  // Posts the marker that drops the press which closed a popup.
  void PostCloseUpMarker(TEditButtonControlEx* control);

  bool event(QEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void keyReleaseEvent(QKeyEvent* event) override;
  void focusInEvent(QFocusEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void changeEvent(QEvent* event) override;
  void enterEvent(QEnterEvent* event) override;
  void leaveEvent(QEvent* event) override;
  void paintEvent(QPaintEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  struct TButtonSlot {
    TEditButtonEx* Item = nullptr;
    TEditButtonControlEx* Control = nullptr;
    int SeparatorX = -1;
  };
  class TImageArea;

  void Construct();
  void SyncButtonControls();
  void LayoutButtons();
  void UpdateBorderActive();
  void ApplyAutoHeight();
  void TextChangedSlot();
  void UpdateMRU(bool force = false);
  void CloseMRU(bool accept);
  TEditButtonEx* ItemOf(TEditButtonControlEx* control) const;

  std::unique_ptr<TEditButtonEx> editButton_;
  TEditButtonsEx editButtons_;
  TEditImageEx image_;
  TMRUListEx mruList_;
  TFieldDataLinkEx dataLink_;
  std::vector<TButtonSlot> slots_;
  TImageArea* imageArea_ = nullptr;
  TMRUListboxEx* mruListbox_ = nullptr;
  QString lastMruText_;
  bool mruUserResized_ = false;
  bool alwaysShowBorder_ = false;
  bool flat_ = false;
  bool autoSize_ = true;
  bool ctl3D_ = true;
  bool heightFixed_ = false;
  bool wantTabs_ = false;
  bool wantReturns_ = false;
  bool autoSelect_ = true;
  char passwordChar_ = 0;
  bool borderActive_ = false;
  bool focused_ = false;
  bool mouseInside_ = false;
  bool droppedDown_ = false;
  bool mruOpen_ = false;
  bool writingText_ = false;
  int buttonsWidth_ = 0;
  TEditButtonControlEx* pendingMarker_ = nullptr;
};

// All the number behaviour: limits, rounding, stepping, typing test, display
// and edit formats and the popup calculator.
class TCustomDBNumberEditEx : public TCustomDBEditEx {
  Q_OBJECT
 public:
  explicit TCustomDBNumberEditEx(QWidget* parent = nullptr);
  ~TCustomDBNumberEditEx() override;

  std::optional<double> Value() const { return model_.Value(); }
  // Stores the value as given (no clamp, no rounding), rewrites the text and
  // clears Modified.
  void SetValue(std::optional<double> value);
  double MinValue() const { return model_.MinValue(); }
  void SetMinValue(double v);
  double MaxValue() const { return model_.MaxValue(); }
  void SetMaxValue(double v);
  int DecimalPlaces() const { return model_.DecimalPlaces(); }
  void SetDecimalPlaces(int v);
  double Increment() const { return model_.Increment(); }
  void SetIncrement(double v) { model_.SetIncrement(v); }
  QString DisplayFormat() const { return QString::fromLatin1(model_.DisplayFormat()); }
  void SetDisplayFormat(const QString& format);
  bool Currency() const { return model_.Currency(); }
  void SetCurrency(bool v);
  QString EditFormat() const { return QString::fromLatin1(model_.EditFormat()); }
  // Parses like typed text but without the limit check; throws EConvertError
  // for a text that is not a number (the value stays).
  void SetText(const QString& text);
  QString Text() const { return text(); }
  // Shows a word in place of the number (the value stays as it is) until the
  // value is written or the box takes the focus.
  void ShowWord(const QString& word) { WriteText(word); }
  const TNumberEditModel& Model() const { return model_; }

  // One step up or down, as the keys, the wheel and the up-down button do.
  void Step(bool up);
  // The popup calculator (created on first drop-down).
  TPopupCalculatorEx* Popup() const { return popup_; }

  void DropDown() override;
  void CloseUp(bool accept) override;

 protected:
  Qt::Alignment DefaultAlignment() const override { return Qt::AlignRight | Qt::AlignVCenter; }
  void EditButtonPress(TEditButtonEx* button, TEditButtonControlEx* control, bool top, bool& autoRepeat) override;
  void DataChanged() override { RefreshText(); }
  void Change() override;
  bool IsValidText(const QString& candidate) const override;
  int ValueImageIndex() const override;
  void SetFocused(bool focused) override;

  void keyPressEvent(QKeyEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;

  // Rewrites the text from the value (edit format while focused).
  void RefreshText();

 private:
  bool CanStep() const;
  TNumberEditModel model_;
  TPopupCalculatorEx* popup_ = nullptr;
  int wheelRemainder_ = 0;
};

class TDBNumberEditEx : public TCustomDBNumberEditEx {
  Q_OBJECT
 public:
  using TCustomDBNumberEditEx::TCustomDBNumberEditEx;
};
