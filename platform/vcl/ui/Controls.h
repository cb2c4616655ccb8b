// Visual controls: the base classes every control of a window derives from.
//
// Each control owns one Qt widget (the visual runtime keeps Qt out of this
// header). Geometry is absolute and in pixels within the parent's client
// area, as the layouts give it. All of this runs on the user-interface
// thread only. Every call from Qt into a control's handlers goes through one
// guard that hands an exception to Application->HandleException, so no
// exception ever crosses Qt's event loop.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "Classes.h"
#include "Graphics.h"
#include "win32.h"

class QWidget;

namespace vcl {

class TWinControl;
class TForm;
struct ControlAccess;

using TModalResult = int;
constexpr TModalResult mrNone = 0;
constexpr TModalResult mrOk = 1;
constexpr TModalResult mrCancel = 2;
constexpr TModalResult mrAbort = 3;
constexpr TModalResult mrRetry = 4;
constexpr TModalResult mrIgnore = 5;
constexpr TModalResult mrYes = 6;
constexpr TModalResult mrNo = 7;
constexpr TModalResult mrAll = 8;
constexpr TModalResult mrNoToAll = 9;
constexpr TModalResult mrYesToAll = 10;

enum TAlign : std::uint8_t { alNone, alTop, alBottom, alLeft, alRight, alClient };
enum TAnchorKind : std::uint8_t { akLeft, akTop, akRight, akBottom };
using TAnchors = TSet<TAnchorKind, std::uint8_t>;
enum TAlignment : std::uint8_t { taLeftJustify, taRightJustify, taCenter };
enum TBevelCut : std::uint8_t { bvNone, bvLowered, bvRaised, bvSpace };
// Also the border of edit controls and panels (bsNone, bsSingle).
enum TFormBorderStyle : std::uint8_t {
  bsNone, bsSingle, bsSizeable, bsDialog, bsToolWindow, bsSizeToolWin
};
using TBorderStyle = TFormBorderStyle;

extern const TEnumNames AlignNames;
extern const TEnumNames AnchorNames;
extern const TEnumNames AlignmentNames;
extern const TEnumNames BevelCutNames;
extern const TEnumNames BorderStyleNames;

class TControl : public TComponent {
 public:
  ~TControl() override;
  const TClassInfo* ClassInfo() const override;
  static const TClassInfo* StaticClassInfo();

  // --- geometry -----------------------------------------------------------
  int Left() const { return left_; }
  int Top() const { return top_; }
  int Width() const { return width_; }
  int Height() const { return height_; }
  void SetLeft(int left) { SetBounds(left, top_, width_, height_); }
  void SetTop(int top) { SetBounds(left_, top, width_, height_); }
  void SetWidth(int width) { SetBounds(left_, top_, width, height_); }
  void SetHeight(int height) { SetBounds(left_, top_, width_, height); }
  virtual void SetBounds(int left, int top, int width, int height);
  TRect BoundsRect() const { return {left_, top_, left_ + width_, top_ + height_}; }
  // The area children and painting use: (0, 0) to the client size.
  virtual int ClientWidth() const { return width_; }
  virtual int ClientHeight() const { return height_; }
  virtual void SetClientWidth(int width) { SetWidth(width); }
  virtual void SetClientHeight(int height) { SetHeight(height); }
  TRect ClientRect() const { return {0, 0, ClientWidth(), ClientHeight()}; }
  TAlign Align() const { return align_; }
  void SetAlign(TAlign align);
  TAnchors Anchors() const { return anchors_; }
  void SetAnchors(TAnchors anchors) { anchors_ = anchors; }

  // --- tree ---------------------------------------------------------------
  TWinControl* Parent() const { return parent_; }
  virtual void SetParent(TWinControl* parent);

  // --- state --------------------------------------------------------------
  bool Enabled() const { return enabled_; }
  void SetEnabled(bool enabled);
  bool Visible() const { return visible_; }
  void SetVisible(bool visible);
  void Show() { SetVisible(true); }
  void Hide() { SetVisible(false); }
  // Visible, and every parent up to a shown window visible too.
  bool Showing() const;

  // Caption and Text are one property, as on the platform: the label of a
  // button, the text of an edit line.
  virtual std::string Text() const { return text_; }
  virtual void SetText(const std::string& text);
  std::string Caption() const { return Text(); }
  void SetCaption(const std::string& caption) { SetText(caption); }

  const std::string& Hint() const { return hint_; }
  void SetHint(const std::string& hint);
  // With ParentShowHint, the parent's setting.
  bool ShowHint() const;
  void SetShowHint(bool show);
  bool ParentShowHint() const { return parentShowHint_; }
  void SetParentShowHint(bool parent);
  // The hint that hovering shows: the hint when ShowHint (or the parent's,
  // with ParentShowHint) is on and the hint is not empty; empty otherwise.
  std::string EffectiveHint() const;

  TColor Color() const { return color_; }
  void SetColor(TColor color);
  bool ParentColor() const { return parentColor_; }
  void SetParentColor(bool parent);
  TFont* Font() const { return font_.get(); }
  void SetFont(TFont* font) { font_->Assign(font); }
  bool ParentFont() const { return parentFont_; }
  void SetParentFont(bool parent);

  // --- painting -----------------------------------------------------------
  // Asks for a repaint at the next chance (the paint runs from the loop).
  void Invalidate();
  // Repaints now.
  void Repaint();
  void Update();
  void BringToFront();
  void SendToBack();

  // Runs the click action (OnClick), as a mouse click does.
  virtual void Click();

  TNotifyEvent OnClick;
  // Fired by graphic controls on a double click.
  TNotifyEvent OnDblClick;
  TNotifyEvent OnResize;

  // The control's Qt widget, for the visual runtime and its test helpers.
  QWidget* Widget() const { return widget_; }
  // The control that owns `widget` (or one of its parents), or nullptr.
  static TControl* FromWidget(QWidget* widget);

 protected:
  // `widget` is the control's Qt widget; the control owns it from now on.
  TControl(TComponent* owner, QWidget* widget);

  void Loaded() override;
  // CM_ENABLEDCHANGED: heard after Enabled has changed.
  virtual void EnabledChanged() {}
  virtual void VisibleChanged() {}
  virtual void TextChanged() {}
  virtual void FontChanged();
  virtual void ColorChanged();
  // After the size has changed; fires OnResize.
  virtual void Resize();
  // Puts the widget where Left/Top/Width/Height say.
  virtual void UpdateWidgetGeometry();
  // Stops Qt from calling into this control; derived destructors whose
  // handlers use their own members call it first.
  void DisconnectWidget();

  // The font of the parent changed: a control with ParentFont follows it.
  void ParentFontChanged();
  void ParentColorChanged();
  // The hint shown on hover, after a change of the hint settings here or
  // in a parent.
  virtual void UpdateHint();

  int left_ = 0, top_ = 0, width_ = 0, height_ = 0;

 private:
  friend struct ControlAccess;
  friend class TWinControl;

  QWidget* widget_;
  TWinControl* parent_ = nullptr;
  TAlign align_ = alNone;
  TAnchors anchors_{akLeft, akTop};
  bool enabled_ = true;
  bool visible_ = true;
  std::string text_;
  std::string hint_;
  bool showHint_ = false;
  bool parentShowHint_ = true;
  TColor color_ = clBtnFace;
  bool parentColor_ = false;
  std::unique_ptr<TFont> font_;
  bool parentFont_ = true;
  bool fontFromParent_ = false;
};

class TWinControl : public TControl {
 public:
  ~TWinControl() override;
  const TClassInfo* ClassInfo() const override;
  static const TClassInfo* StaticClassInfo();

  int ControlCount() const { return static_cast<int>(controls_.size()); }
  TControl* Controls(int index) const { return controls_.at(index); }

  // Place in the parent's tab order, 0 first. Values read from a layout are
  // sorted out once the layout has been read.
  int TabOrder() const;
  void SetTabOrder(int order);
  bool TabStop() const { return tabStop_; }
  void SetTabStop(bool stop);
  // The tab-order list of this control's children.
  std::vector<TWinControl*> TabList() const { return tabList_; }

  bool Focused() const;
  bool CanFocus() const;
  void SetFocus();

  // A handle that stands for the control's window.
  HWND Handle() const;

  // When the control gets and loses the keyboard focus.
  TNotifyEvent OnEnter;
  TNotifyEvent OnExit;

 protected:
  TWinControl(TComponent* owner, QWidget* widget);
  void Loaded() override;
  void FontChanged() override;
  void ColorChanged() override;
  void UpdateHint() override;

  // Whether the control uses Enter itself, so the form's default button
  // does not take it (a memo does, an edit line does not).
  virtual bool WantsReturn() const { return false; }

 private:
  friend class TControl;
  friend struct ControlAccess;
  void InsertControl(TControl* control);
  void RemoveControl(TControl* control);

  std::vector<TControl*> controls_;
  std::vector<TWinControl*> tabList_;
  int pendingTabOrder_ = -1;
  bool tabStop_ = false;
};

// A control without a window of its own focus: it paints on its parent's
// background through Paint and Canvas, and takes clicks.
class TGraphicControl : public TControl {
 public:
  explicit TGraphicControl(TComponent* owner);
  ~TGraphicControl() override;
  const TClassInfo* ClassInfo() const override;
  static const TClassInfo* StaticClassInfo();

  // The canvas Paint draws on; valid while Paint runs.
  TCanvas* Canvas() const { return canvas_.get(); }

 protected:
  TGraphicControl(TComponent* owner, QWidget* widget);
  // Draws the control. The default draws nothing.
  virtual void Paint() {}

 private:
  friend struct ControlAccess;
  std::unique_ptr<TCanvas> canvas_;
};

// The form a control sits on, or nullptr.
TForm* GetParentForm(const TControl* control);

// Registers every visual class with the layout reader and installs the
// reader's parent hook. Idempotent.
void RegisterVisualClasses();

}  // namespace vcl
