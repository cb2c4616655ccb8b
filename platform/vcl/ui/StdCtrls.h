// The standard controls: buttons, edit lines, memos, check boxes, labels,
// group boxes and combo boxes.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "Controls.h"

namespace vcl {

// A push button. Click() sets the parent form's ModalResult to the
// button's ModalResult (when not mrNone), then fires OnClick.
// The form's default button is pressed by Enter in any control that does
// not use Enter itself; the cancel button by Esc.
class TButton : public TWinControl {
 public:
  explicit TButton(TComponent* owner);
  ~TButton() override;
  const TClassInfo* ClassInfo() const override;
  static const TClassInfo* StaticClassInfo();

  bool Default() const { return default_; }
  void SetDefault(bool value);
  bool Cancel() const { return cancel_; }
  void SetCancel(bool value) { cancel_ = value; }
  TModalResult ModalResult() const { return modalResult_; }
  void SetModalResult(TModalResult result) { modalResult_ = result; }

  void Click() override;

 protected:
  void TextChanged() override;

 private:
  bool default_ = false;
  bool cancel_ = false;
  TModalResult modalResult_ = mrNone;
};

enum TEditCharCase : std::uint8_t { ecNormal, ecUpperCase, ecLowerCase };

// A one-line edit control. Text is UTF-8.
class TEdit : public TWinControl {
 public:
  explicit TEdit(TComponent* owner);
  ~TEdit() override;
  const TClassInfo* ClassInfo() const override;
  static const TClassInfo* StaticClassInfo();

  std::string Text() const override;
  void SetText(const std::string& text) override;
  bool ReadOnly() const;
  void SetReadOnly(bool readOnly);
  int MaxLength() const { return maxLength_; }
  void SetMaxLength(int length);
  void SelectAll();
  void Clear() { SetText(""); }

  // Fired when the text changes, by the user or from code.
  TNotifyEvent OnChange;

 protected:
  void ColorChanged() override;

 private:
  int maxLength_ = 0;
};

enum TScrollStyle : std::uint8_t { ssNone, ssHorizontal, ssVertical, ssBoth };
extern const TEnumNames ScrollStyleNames;

// A multi-line edit control. Text is UTF-8 and is kept exactly as set
// (CR and LF as given); the view shows it as lines.
//
// Appending is cheap: AppendText, and SetText with a text that starts with
// the current one, only add the new tail to what is shown, so the cost is
// that of the tail, not of the whole text. Neither moves the caret nor
// scrolls the view.
class TMemo : public TWinControl {
 public:
  explicit TMemo(TComponent* owner);
  ~TMemo() override;
  const TClassInfo* ClassInfo() const override;
  static const TClassInfo* StaticClassInfo();

  std::string Text() const override { return text_; }
  // The text without a copy.
  const std::string& TextRef() const { return text_; }
  void SetText(const std::string& text) override;
  void AppendText(const std::string& tail);
  void Clear() { SetText(""); }
  std::size_t TextLength() const { return text_.size(); }
  // Number of lines as the view shows them.
  int LineCount() const;

  bool ReadOnly() const { return readOnly_; }
  void SetReadOnly(bool readOnly);
  TScrollStyle ScrollBars() const { return scrollBars_; }
  void SetScrollBars(TScrollStyle style);
  // Without a horizontal scroll bar long lines wrap at the edge.
  bool WordWrap() const { return wordWrap_; }
  void SetWordWrap(bool wrap);
  bool WantReturns() const { return wantReturns_; }
  void SetWantReturns(bool want) { wantReturns_ = want; }

  TNotifyEvent OnChange;

 protected:
  bool WantsReturn() const override { return wantReturns_; }
  void ColorChanged() override;

 private:
  void ShowTail(const std::string& tail);
  void ApplyWrap();

  bool updating_ = false;  // the document changes from code, not typing

  std::string text_;
  bool readOnly_ = false;
  TScrollStyle scrollBars_ = ssNone;
  bool wordWrap_ = true;
  bool wantReturns_ = true;
  bool pendingCR_ = false;  // the view's last line ended in a lone CR
};

enum TCheckBoxState : std::uint8_t { cbUnchecked, cbChecked, cbGrayed };

// A check box. Changing Checked, from code or by the user, fires OnClick
// (not while a layout is being read).
class TCheckBox : public TWinControl {
 public:
  explicit TCheckBox(TComponent* owner);
  ~TCheckBox() override;
  const TClassInfo* ClassInfo() const override;
  static const TClassInfo* StaticClassInfo();

  bool Checked() const { return state_ == cbChecked; }
  void SetChecked(bool checked) { SetState(checked ? cbChecked : cbUnchecked); }
  TCheckBoxState State() const { return state_; }
  void SetState(TCheckBoxState state);
  bool AllowGrayed() const { return allowGrayed_; }
  void SetAllowGrayed(bool allow);

 protected:
  void TextChanged() override;

 private:
  friend struct ControlAccess;
  TCheckBoxState state_ = cbUnchecked;
  bool allowGrayed_ = false;
};

enum TTextLayout : std::uint8_t { tlTop, tlCenter, tlBottom };

// A static text. Lines are separated by CR LF (or LF). The layout's size is
// kept; AutoSize is stored but does not resize.
class TLabel : public TGraphicControl {
 public:
  explicit TLabel(TComponent* owner);
  ~TLabel() override;
  const TClassInfo* ClassInfo() const override;
  static const TClassInfo* StaticClassInfo();

  bool AutoSize() const { return autoSize_; }
  void SetAutoSize(bool autoSize) { autoSize_ = autoSize; }
  bool WordWrap() const { return wordWrap_; }
  void SetWordWrap(bool wrap);
  bool Transparent() const { return transparent_; }
  void SetTransparent(bool transparent);
  TAlignment Alignment() const { return alignment_; }
  void SetAlignment(TAlignment alignment);
  TTextLayout Layout() const { return layout_; }
  void SetLayout(TTextLayout layout);
  TWinControl* FocusControl() const { return focusControl_; }
  void SetFocusControl(TWinControl* control) { focusControl_ = control; }

 protected:
  void TextChanged() override;
  void FontChanged() override;
  void ColorChanged() override;

 private:
  void UpdateLabel();

  bool autoSize_ = true;
  bool wordWrap_ = false;
  bool transparent_ = false;
  TAlignment alignment_ = taLeftJustify;
  TTextLayout layout_ = tlTop;
  TWinControl* focusControl_ = nullptr;
};

// A frame with a caption; children sit inside it, positioned from its
// top-left corner.
class TGroupBox : public TWinControl {
 public:
  explicit TGroupBox(TComponent* owner);
  ~TGroupBox() override;
  const TClassInfo* ClassInfo() const override;
  static const TClassInfo* StaticClassInfo();

 protected:
  void TextChanged() override;
  void ColorChanged() override;
};

enum TComboBoxStyle : std::uint8_t {
  csDropDown, csSimple, csDropDownList, csOwnerDrawFixed, csOwnerDrawVariable
};
extern const TEnumNames ComboBoxStyleNames;

// A drop-down list. Items is the list the control shows. A pick by the user
// runs Click() (OnClick), then Change() (OnChange); changing the selection
// from code (ItemIndex, Text) runs neither.
class TCustomComboBox : public TWinControl {
 public:
  explicit TCustomComboBox(TComponent* owner);
  ~TCustomComboBox() override;
  const TClassInfo* ClassInfo() const override;
  static const TClassInfo* StaticClassInfo();

  TStrings* Items() const;
  // -1: nothing selected. Out-of-range values select nothing. A value read
  // from a layout is applied once the layout has been read.
  int ItemIndex() const;
  void SetItemIndex(int index);
  TComboBoxStyle Style() const { return style_; }
  void SetStyle(TComboBoxStyle style);
  // csDropDownList: the selected item's text (empty when none), and setting
  // it selects the first item equal to it ignoring case (no change when
  // there is none). Otherwise the edit line's text.
  std::string Text() const override;
  void SetText(const std::string& text) override;
  int DropDownCount() const { return dropDownCount_; }
  void SetDropDownCount(int count);
  int ItemHeight() const { return itemHeight_; }
  void SetItemHeight(int height) { itemHeight_ = height; }
  bool Sorted() const { return sorted_; }
  void SetSorted(bool sorted);
  bool DroppedDown() const;
  void SetDroppedDown(bool down);

  TNotifyEvent OnChange;
  TNotifyEvent OnDropDown;

 protected:
  void Loaded() override;
  void ColorChanged() override;
  // Run after OnClick when the user picks an item; fires OnChange.
  virtual void Change();

 private:
  friend struct ControlAccess;
  class ItemList;
  std::unique_ptr<ItemList> items_;
  TComboBoxStyle style_ = csDropDown;
  int dropDownCount_ = 8;
  int itemHeight_ = 13;
  bool sorted_ = false;
  int pendingIndex_ = -2;  // -2: none read from a layout
};

// The combo box as layouts use it.
class TComboBox : public TCustomComboBox {
 public:
  explicit TComboBox(TComponent* owner) : TCustomComboBox(owner) {}
  const TClassInfo* ClassInfo() const override;
  static const TClassInfo* StaticClassInfo();
};

}  // namespace vcl
