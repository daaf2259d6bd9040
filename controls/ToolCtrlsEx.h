#pragma once
// The buttons that sit inside the right edge of an edit box (drop-down,
// ellipsis, glyph, up-down, plus, minus), the speed-button control that draws
// and clicks them, the size grip of resizable popups, the shared cache of
// drawn button faces, the placement of drop-downs, the popup list box and the
// most-recently-used text list.
#include <QKeySequence>
#include <QListWidget>
#include <QMenu>
#include <QPixmap>
#include <QPointer>
#include <QString>
#include <QWidget>
#include <exception>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class QScrollBar;
class IClock;

enum TEditButtonStyleEx { ebsDropDownEx, ebsEllipsisEx, ebsGlyphEx, ebsUpDownEx, ebsPlusEx, ebsMinusEx };

using TButtonClickEventEx = std::function<void(QObject* Sender, bool& Handled)>;
using TButtonDownEventEx = std::function<void(QObject* Sender, bool TopButton, bool& AutoRepeat, bool& Handled)>;

// An exception raised by a control while it handles user input cannot travel
// through the event loop; it is shown here (a message box unless replaced).
void ShowControlException(const std::exception& e);
void SetControlExceptionHandler(std::function<void(const std::exception&)> handler);

// ---------------------------------------------------------------------------
// Face geometry, in face coordinates.

// Three square dots centred on the face: side 1 on faces narrower than 8
// pixels, else 2; gaps of 1 on faces narrower than 12, else 2.
std::vector<QRect> EllipsisDotRects(const QRect& face);
// The horizontal bar (and for plus the vertical one): length 4/7 of the
// smaller side, thickness a third of that, both at least 1, centred.
std::vector<QRect> PlusMinusBarRects(const QRect& face, bool plus);

struct TUpDownHalves {
  QRect Upper;
  QRect Lower;
  QRect Middle;  // the odd line between the halves, empty for an even height
};
TUpDownHalves SplitUpDownFace(const QRect& face);

// Which half a press at y hits: 1 upper, 2 lower, 0 none (the middle of an
// up-down face); always 1 for the other styles.
int PressedHalfAt(TEditButtonStyleEx style, int y, int height);

// Two thirds of the text height, rounded, made odd, at most the scroll-bar width.
int FlatButtonWidthFor(int textHeight, int scrollBarWidth);
// The flat button width of this run, computed once from the application font.
int FlatButtonWidth();
// Size of a button laid out in an edit whose client area is clientHeight tall.
QSize EditButtonSizeFor(int width, bool flat, int flatButtonWidth, int scrollBarWidth, int clientHeight);

// ---------------------------------------------------------------------------
// The auto-repeat timer of the buttons, replaceable so that tests step it.
class TRepeatTimer {
 public:
  virtual ~TRepeatTimer() = default;
  virtual void Start(int intervalMs) = 0;
  virtual void SetInterval(int intervalMs) = 0;
  virtual int Interval() const = 0;
  virtual void Stop() = 0;
  virtual bool IsActive() const = 0;
  std::function<void()> OnTimer;
};
using TRepeatTimerFactory = std::function<std::unique_ptr<TRepeatTimer>()>;
// An empty factory restores the QTimer-based one.
void SetRepeatTimerFactory(TRepeatTimerFactory factory);
std::unique_ptr<TRepeatTimer> CreateRepeatTimer();

// ---------------------------------------------------------------------------
// A button as described by the edit's EditButton property or an item of its
// EditButtons collection. Every change tells the owner (Changed).
class TEditButtonEx {
 public:
  TEditButtonEx() = default;
  virtual ~TEditButtonEx() = default;
  TEditButtonEx(const TEditButtonEx&) = delete;
  TEditButtonEx& operator=(const TEditButtonEx&) = delete;

  QMenu* DropdownMenu() const { return dropdownMenu_; }
  void SetDropdownMenu(QMenu* menu);
  const QPixmap& Glyph() const { return glyph_; }
  void SetGlyph(const QPixmap& glyph);
  const QString& Hint() const { return hint_; }
  void SetHint(const QString& hint);
  int NumGlyphs() const { return numGlyphs_; }
  void SetNumGlyphs(int n);  // clamped to 1..4
  const QKeySequence& ShortCut() const { return shortCut_; }
  void SetShortCut(const QKeySequence& key);
  TEditButtonStyleEx Style() const { return style_; }
  void SetStyle(TEditButtonStyleEx style);
  bool Visible() const { return visible_; }
  void SetVisible(bool visible);
  int Width() const { return width_; }
  void SetWidth(int width);  // 0: automatic

  TButtonClickEventEx OnClick;
  TButtonDownEventEx OnDown;

  // Copies every property and both events (not the owner link).
  void Assign(const TEditButtonEx& source);

  std::function<void()> Changed;

 protected:
  void Change();

  QPointer<QMenu> dropdownMenu_;
  QPixmap glyph_;
  QString hint_;
  int numGlyphs_ = 1;
  QKeySequence shortCut_;
  TEditButtonStyleEx style_ = ebsDropDownEx;
  bool visible_ = false;
  int width_ = 0;
};

// The numeric edit's default button: opens its drop-down with Alt+Down.
class TDropDownEditButtonEx : public TEditButtonEx {
 public:
  TDropDownEditButtonEx();
};

// The items of EditButtons: visible by default, Alt+Down.
class TVisibleEditButtonEx : public TEditButtonEx {
 public:
  TVisibleEditButtonEx();
};

class TEditButtonsEx {
 public:
  TVisibleEditButtonEx* Add();
  int Count() const { return static_cast<int>(items_.size()); }
  TVisibleEditButtonEx* Items(int index) const;
  void Delete(int index);
  void Clear();
  void Assign(const TEditButtonsEx& source);

  std::function<void()> Changed;

 private:
  void Change();
  std::vector<std::unique_ptr<TVisibleEditButtonEx>> items_;
};

// ---------------------------------------------------------------------------
// The key of one drawn face in the cache.
struct TButtonFaceKey {
  int Width = 0;
  int Height = 0;
  TEditButtonStyleEx Style = ebsDropDownEx;
  bool Enabled = true;
  bool Pressed = false;
  bool Active = true;
  bool Flat = false;
  int Direction = 0;  // pressed half of an up-down face
  bool DownButton = false;
  bool operator==(const TButtonFaceKey&) const = default;
};

struct TButtonBitmapInfoBitmapEx {
  TButtonFaceKey Key;
  QPixmap Bitmap;
};

// Faces drawn once and reused for the rest of the run.
class TButtonsBitmapCache {
 public:
  static TButtonsBitmapCache& Instance();
  QPixmap Face(const TButtonFaceKey& key, const QWidget* widget);
  int Count() const { return static_cast<int>(entries_.size()); }
  void Clear() { entries_.clear(); }

 private:
  std::vector<TButtonBitmapInfoBitmapEx> entries_;
};

// Draws faces through the cache (on by default) or straight to the target.
extern bool UseButtonsBitmapCache;

// Draws the face of a button (frame, arrows, dots or bars; not the glyph).
void DrawButtonFace(QPainter& painter, const QRect& rect, const TButtonFaceKey& key, const QWidget* widget);

// ---------------------------------------------------------------------------
// The control that shows one edit button, and the calculator's keys.
class TEditButtonControlEx : public QWidget {
  Q_OBJECT
 public:
  explicit TEditButtonControlEx(QWidget* parent = nullptr);
  ~TEditButtonControlEx() override;

  TEditButtonStyleEx Style() const { return style_; }
  void SetStyle(TEditButtonStyleEx style);
  bool Active() const { return active_; }
  void SetActive(bool active);
  bool Flat() const { return flat_; }
  void SetFlat(bool flat);
  const QString& Caption() const { return caption_; }
  void SetCaption(const QString& caption);
  const QPixmap& Glyph() const { return glyph_; }
  void SetGlyph(const QPixmap& glyph, int numGlyphs = 1);
  int Tag() const { return tag_; }
  void SetTag(int tag) { tag_ = tag; }
  // Keeps the button pressed while its popup is open.
  bool AlwaysDown() const { return alwaysDown_; }
  void SetAlwaysDown(bool down);

  // 0 none, 1 upper (or whole) half, 2 lower half.
  int PressedHalf() const { return pressedHalf_; }
  bool IsDown() const { return alwaysDown_ || (mouseDown_ && !slidOff_); }
  bool IsRepeating() const { return timer_ && timer_->IsActive(); }
  // Forgets a press whose release will never come (its popup took the mouse).
  void ResetState();

  TButtonDownEventEx OnDown;
  std::function<void(TEditButtonControlEx*)> OnClick;

  QSize sizeHint() const override { return QSize(10, 17); }

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void changeEvent(QEvent* event) override;

 private:
  void FireDown();
  void RepeatTick();
  void StopRepeat();

  TEditButtonStyleEx style_ = ebsDropDownEx;
  bool active_ = false;
  bool flat_ = false;
  QString caption_;
  QPixmap glyph_;
  int numGlyphs_ = 1;
  int tag_ = 0;
  bool alwaysDown_ = false;
  int pressedHalf_ = 0;
  bool mouseDown_ = false;
  bool slidOff_ = false;   // the mouse left the pressed half
  bool noClick_ = false;   // the release fires no click
  bool firstTick_ = false;
  std::unique_ptr<TRepeatTimer> timer_;
};

class TSpeedButtonEx : public TEditButtonControlEx {
  Q_OBJECT
 public:
  using TEditButtonControlEx::TEditButtonControlEx;
};

// ---------------------------------------------------------------------------
// The corner grip by which the user resizes a popup.
class TSizeGripEx : public QWidget {
  Q_OBJECT
 public:
  explicit TSizeGripEx(QWidget* parent);
  // 0 top-left, 1 top-right, 2 bottom-right (default), 3 bottom-left.
  int Corner() const { return corner_; }
  void SetCorner(int corner);
  // Moves the grip into its corner of the parent.
  void Reposition();
  std::function<void()> OnResize;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  void UpdateShape();
  int corner_ = 2;
  bool dragging_ = false;
  QPoint pressGlobal_;
  QRect startGeometry_;
};

// ---------------------------------------------------------------------------
// Where a drop-down opens: under the edit (or above it when it fits only
// there), inside the work area of the edit's monitor.
enum TPopupAlignment { paLeft, paRight, paCenter };

struct TPopupPlacement {
  QRect Rect;
  bool Above = false;
  bool RightAligned = false;
  // The corner for a size grip, away from the edit.
  int GripCorner() const { return Above ? (RightAligned ? 0 : 1) : (RightAligned ? 3 : 2); }
};

TPopupPlacement PlacePopup(const QRect& edit, const QSize& popup, const QRect& workArea, TPopupAlignment align);

// ---------------------------------------------------------------------------
// A list in a window of its own that never takes the keyboard focus: the
// owning edit keeps it and hands keys over.
class TPopupListboxEx : public QListWidget {
  Q_OBJECT
 public:
  explicit TPopupListboxEx(QWidget* owner);
  ~TPopupListboxEx() override;

  // The clock of the incremental search (the system clock unless set).
  void SetClock(IClock* clock) { clock_ = clock; }
  const QString& SearchText() const { return searchText_; }

  // Shows the list at the given screen rectangle; mouse presses outside it
  // close it (OnCloseUp(false)).
  void Popup(const QRect& screenRect);
  void CloseUp(bool accept);
  bool IsOpen() const { return open_; }
  int ItemHeight() const;
  int FrameHeight() const;

  // A typed character for the incremental search (Backspace and Esc-like
  // control characters clear it).
  void SearchKey(QChar c);

  std::function<void(bool accept)> OnCloseUp;

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

  QPointer<QWidget> owner_;

 private:
  IClock* clock_ = nullptr;
  QString searchText_;
  int64_t lastKeyMs_ = 0;
  bool open_ = false;
};

// The MRU popup: its own scroll bar and a size grip in the corner away from
// the edit.
class TMRUListboxEx : public TPopupListboxEx {
  Q_OBJECT
 public:
  explicit TMRUListboxEx(QWidget* owner);
  TSizeGripEx* SizeGrip() const { return grip_; }
  void SetGripCorner(int corner);
  // Rows that fit the current height.
  int VisibleRows() const;
  std::function<void()> OnUserResize;

 protected:
  void resizeEvent(QResizeEvent* event) override;

 private:
  void LayoutScrollBar();
  TSizeGripEx* grip_;
  QScrollBar* scrollBar_;
};

// ---------------------------------------------------------------------------
// The most-recently-used texts of an edit, most recent last.
class TMRUListEx {
 public:
  bool AutoAdd() const { return autoAdd_; }
  void SetAutoAdd(bool v) { autoAdd_ = v; }
  bool Active() const { return active_; }
  void SetActive(bool v);
  bool CaseSensitive() const { return caseSensitive_; }
  void SetCaseSensitive(bool v) { caseSensitive_ = v; }
  const std::vector<std::string>& Items() const { return items_; }
  void SetItems(const std::vector<std::string>& items);
  int Limit() const { return limit_; }
  // A negative limit counts as 0; lowering it trims at once.
  void SetLimit(int limit);
  int Rows() const { return rows_; }
  void SetRows(int rows) { rows_ = rows; }
  // The width the user last gave the popup (0: the edit's width).
  int Width() const { return width_; }
  void SetWidth(int width) { width_ = width; }

  // Adds a trimmed, non-empty text as the most recent one.
  void Add(const std::string& text);
  // The items that begin with text, sorted alphabetically.
  std::vector<std::string> Filter(const std::string& text) const;

  void Assign(const TMRUListEx& source);

  std::function<void()> OnActiveChange;

 private:
  void Trim();
  bool SameText(const std::string& a, const std::string& b) const;
  bool autoAdd_ = true;
  bool active_ = false;
  bool caseSensitive_ = false;
  std::vector<std::string> items_;
  int limit_ = 100;
  int rows_ = 7;
  int width_ = 0;
};

// Latin-1 case folding used by the MRU comparisons.
std::string AnsiLowerCase(const std::string& s);
