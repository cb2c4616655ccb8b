#include "StdCtrls.h"

#include <QAbstractItemView>
#include <QCheckBox>
#include <QComboBox>
#include <QFontMetrics>
#include <QPainter>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <algorithm>
#include <cstring>

#include "Forms.h"
#include "QtBridge.h"

namespace vcl {

const TEnumNames ScrollStyleNames = {"ssNone", "ssHorizontal", "ssVertical", "ssBoth"};
const TEnumNames ComboBoxStyleNames = {"csDropDown", "csSimple", "csDropDownList",
                                       "csOwnerDrawFixed", "csOwnerDrawVariable"};
namespace {
const TEnumNames kCheckBoxStateNames = {"cbUnchecked", "cbChecked", "cbGrayed"};
const TEnumNames kTextLayoutNames = {"tlTop", "tlCenter", "tlBottom"};
}  // namespace

// --- TButton --------------------------------------------------------------------

const TClassInfo* TButton::StaticClassInfo() {
  static const TClassInfo info = [] {
    TClassInfo i("TButton", TWinControl::StaticClassInfo(),
                 [](TComponent* owner) -> TComponent* { return new TButton(owner); });
    i.Add(BoolProp("Default", &TButton::SetDefault));
    i.Add(BoolProp("Cancel", &TButton::SetCancel));
    i.Add(IntProp("ModalResult", &TButton::SetModalResult));
    return i;
  }();
  return &info;
}

const TClassInfo* TButton::ClassInfo() const { return StaticClassInfo(); }

TButton::TButton(TComponent* owner) : TWinControl(owner, new QPushButton) {
  auto* button = static_cast<QPushButton*>(Widget());
  button->setAutoDefault(false);
  SetTabStop(true);
  SetBounds(0, 0, 75, 25);
  QObject::connect(button, &QPushButton::clicked, button, [this] { Guarded([this] { Click(); }); });
}

TButton::~TButton() { DisconnectWidget(); }

void TButton::SetDefault(bool value) {
  default_ = value;
  static_cast<QPushButton*>(Widget())->setDefault(value);
}

void TButton::TextChanged() { static_cast<QPushButton*>(Widget())->setText(ToQ(Text())); }

void TButton::Click() {
  if (TForm* form = GetParentForm(this)) form->SetModalResult(modalResult_);
  TWinControl::Click();
}

// --- TEdit ------------------------------------------------------------------------

const TClassInfo* TEdit::StaticClassInfo() {
  static const TClassInfo info = [] {
    TClassInfo i("TEdit", TWinControl::StaticClassInfo(),
                 [](TComponent* owner) -> TComponent* { return new TEdit(owner); });
    i.Add(BoolProp("ReadOnly", &TEdit::SetReadOnly));
    i.Add(IntProp("MaxLength", &TEdit::SetMaxLength));
    i.Add(EventProp("OnChange", &TEdit::OnChange));
    return i;
  }();
  return &info;
}

const TClassInfo* TEdit::ClassInfo() const { return StaticClassInfo(); }

TEdit::TEdit(TComponent* owner) : TWinControl(owner, new QLineEdit) {
  auto* edit = static_cast<QLineEdit*>(Widget());
  SetTabStop(true);
  SetColor(clWindow);
  SetBounds(0, 0, 121, 21);
  QObject::connect(edit, &QLineEdit::textChanged, edit, [this] {
    if (OnChange.Assigned() && !HasState(csLoading)) Guarded([this] { OnChange(this); });
  });
}

TEdit::~TEdit() { DisconnectWidget(); }

std::string TEdit::Text() const { return FromQ(static_cast<QLineEdit*>(Widget())->text()); }

void TEdit::SetText(const std::string& text) {
  auto* edit = static_cast<QLineEdit*>(Widget());
  const QString q = ToQ(text);
  if (edit->text() != q) edit->setText(q);
}

bool TEdit::ReadOnly() const { return static_cast<QLineEdit*>(Widget())->isReadOnly(); }
void TEdit::SetReadOnly(bool readOnly) { static_cast<QLineEdit*>(Widget())->setReadOnly(readOnly); }

void TEdit::SetMaxLength(int length) {
  maxLength_ = length;
  static_cast<QLineEdit*>(Widget())->setMaxLength(length > 0 ? length : 32767);
}

namespace {
void SetBaseColor(QWidget* widget, TColor color) {
  QPalette palette = widget->palette();
  palette.setColor(QPalette::Base, ToQColor(color));
  widget->setPalette(palette);
}
}  // namespace

void TEdit::ColorChanged() {
  TWinControl::ColorChanged();
  SetBaseColor(Widget(), Color());
}

void TEdit::SelectAll() { static_cast<QLineEdit*>(Widget())->selectAll(); }

// --- TMemo ------------------------------------------------------------------------

namespace {
QPlainTextEdit* View(const TMemo* memo) { return static_cast<QPlainTextEdit*>(memo->Widget()); }

// The caret stays where it is when text is added at its position, so
// appending at the end never moves it.
void KeepCaretOnInsert(QPlainTextEdit* view) {
  QTextCursor caret = view->textCursor();
  caret.setKeepPositionOnInsert(true);
  view->setTextCursor(caret);
}
}  // namespace

const TClassInfo* TMemo::StaticClassInfo() {
  static const TClassInfo info = [] {
    TClassInfo i("TMemo", TWinControl::StaticClassInfo(),
                 [](TComponent* owner) -> TComponent* { return new TMemo(owner); });
    i.Add(BoolProp("ReadOnly", &TMemo::SetReadOnly));
    i.Add(EnumProp("ScrollBars", &TMemo::SetScrollBars, ScrollStyleNames));
    i.Add(BoolProp("WordWrap", &TMemo::SetWordWrap));
    i.Add(BoolProp("WantReturns", &TMemo::SetWantReturns));
    i.Add(EventProp("OnChange", &TMemo::OnChange));
    return i;
  }();
  return &info;
}

const TClassInfo* TMemo::ClassInfo() const { return StaticClassInfo(); }

TMemo::TMemo(TComponent* owner) : TWinControl(owner, new QPlainTextEdit) {
  QPlainTextEdit* view = View(this);
  view->setUndoRedoEnabled(false);
  view->setLineWrapMode(QPlainTextEdit::WidgetWidth);
  view->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  view->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  KeepCaretOnInsert(view);
  SetTabStop(true);
  SetColor(clWindow);
  SetBounds(0, 0, 185, 89);
  QObject::connect(view, &QPlainTextEdit::textChanged, view, [this] {
    // Typing changes the document; code keeps text_ itself.
    if (updating_) return;
    text_ = FromQ(View(this)->toPlainText());
    if (OnChange.Assigned() && !HasState(csLoading)) Guarded([this] { OnChange(this); });
  });
}

TMemo::~TMemo() { DisconnectWidget(); }

void TMemo::SetText(const std::string& text) {
  // A text that only adds to the current one (the log's read, append,
  // write back) costs what the new tail costs.
  if (text.size() >= text_.size() && std::memcmp(text.data(), text_.data(), text_.size()) == 0) {
    if (text.size() > text_.size()) AppendText(text.substr(text_.size()));
    return;
  }
  QPlainTextEdit* view = View(this);
  text_ = text;
  pendingCR_ = !text_.empty() && text_.back() == '\r';
  updating_ = true;
  view->setPlainText(LinesText(text_));
  updating_ = false;
  KeepCaretOnInsert(view);
  if (OnChange.Assigned() && !HasState(csLoading)) OnChange(this);
}

void TMemo::AppendText(const std::string& tail) {
  if (tail.empty()) return;
  text_ += tail;
  ShowTail(tail);
  if (OnChange.Assigned() && !HasState(csLoading)) OnChange(this);
}

void TMemo::ShowTail(const std::string& tail) {
  // CR LF split between two appends is still one line break on the screen.
  std::string_view piece(tail);
  if (pendingCR_ && !piece.empty() && piece.front() == '\n') piece.remove_prefix(1);
  pendingCR_ = tail.back() == '\r';
  if (piece.empty()) return;

  QPlainTextEdit* view = View(this);
  QScrollBar* vertical = view->verticalScrollBar();
  QScrollBar* horizontal = view->horizontalScrollBar();
  const int top = vertical->value();
  const int left = horizontal->value();
  // The caret and any selection stay where they were. A caret that sits at
  // the very end would otherwise drag its anchor along with the new text and
  // show everything received as selected.
  const QTextCursor caret = view->textCursor();
  const int anchor = caret.anchor();
  const int position = caret.position();
  updating_ = true;
  QTextCursor end(view->document());
  end.movePosition(QTextCursor::End);
  end.insertText(LinesText(std::string(piece)));
  updating_ = false;
  QTextCursor kept(view->document());
  kept.setPosition(anchor);
  kept.setPosition(position, QTextCursor::KeepAnchor);
  kept.setKeepPositionOnInsert(true);
  view->setTextCursor(kept);
  // The view does not follow the new text.
  if (vertical->value() != top) vertical->setValue(top);
  if (horizontal->value() != left) horizontal->setValue(left);
}

int TMemo::LineCount() const { return View(this)->document()->blockCount(); }

void TMemo::SetReadOnly(bool readOnly) {
  readOnly_ = readOnly;
  View(this)->setReadOnly(readOnly);
}

void TMemo::SetScrollBars(TScrollStyle style) {
  scrollBars_ = style;
  QPlainTextEdit* view = View(this);
  const bool horizontal = style == ssHorizontal || style == ssBoth;
  const bool vertical = style == ssVertical || style == ssBoth;
  view->setHorizontalScrollBarPolicy(horizontal ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff);
  view->setVerticalScrollBarPolicy(vertical ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff);
  ApplyWrap();
}

void TMemo::SetWordWrap(bool wrap) {
  wordWrap_ = wrap;
  ApplyWrap();
}

void TMemo::ApplyWrap() {
  // A horizontal scroll bar means long lines scroll instead of wrapping.
  const bool horizontal = scrollBars_ == ssHorizontal || scrollBars_ == ssBoth;
  View(this)->setLineWrapMode(wordWrap_ && !horizontal ? QPlainTextEdit::WidgetWidth
                                                       : QPlainTextEdit::NoWrap);
}

void TMemo::ColorChanged() {
  TWinControl::ColorChanged();
  SetBaseColor(Widget(), Color());
}

// --- TCheckBox ----------------------------------------------------------------------

const TClassInfo* TCheckBox::StaticClassInfo() {
  static const TClassInfo info = [] {
    TClassInfo i("TCheckBox", TWinControl::StaticClassInfo(),
                 [](TComponent* owner) -> TComponent* { return new TCheckBox(owner); });
    i.Add(BoolProp("Checked", &TCheckBox::SetChecked));
    i.Add(EnumProp("State", &TCheckBox::SetState, kCheckBoxStateNames));
    i.Add(BoolProp("AllowGrayed", &TCheckBox::SetAllowGrayed));
    return i;
  }();
  return &info;
}

const TClassInfo* TCheckBox::ClassInfo() const { return StaticClassInfo(); }

TCheckBox::TCheckBox(TComponent* owner) : TWinControl(owner, new QCheckBox) {
  auto* box = static_cast<QCheckBox*>(Widget());
  SetTabStop(true);
  SetBounds(0, 0, 97, 17);
  QObject::connect(box, &QCheckBox::clicked, box, [this, box] {
    ControlAccess::UserToggle(this, static_cast<int>(box->checkState()));
  });
}

TCheckBox::~TCheckBox() { DisconnectWidget(); }

void ControlAccess::UserToggle(TCheckBox* box, int qtState) {
  const TCheckBoxState state = qtState == Qt::Checked            ? cbChecked
                               : qtState == Qt::PartiallyChecked ? cbGrayed
                                                                 : cbUnchecked;
  box->state_ = state;
  Guarded([box] { box->Click(); });
}

void TCheckBox::SetState(TCheckBoxState state) {
  if (state_ == state) return;
  state_ = state;
  auto* box = static_cast<QCheckBox*>(Widget());
  box->setCheckState(state == cbChecked ? Qt::Checked
                     : state == cbGrayed ? Qt::PartiallyChecked
                                         : Qt::Unchecked);
  // As on the platform, a change from code is a click too.
  if (!HasState(csLoading)) Click();
}

void TCheckBox::SetAllowGrayed(bool allow) {
  allowGrayed_ = allow;
  static_cast<QCheckBox*>(Widget())->setTristate(allow);
}

void TCheckBox::TextChanged() { static_cast<QCheckBox*>(Widget())->setText(ToQ(Text())); }

// --- TLabel ---------------------------------------------------------------------------

namespace {

// A label draws its lines itself, one every TextLineStep pixels as the
// layouts were measured, whatever the stand-in face's own line spacing.
class LabelWidget : public QWidget {
 public:
  explicit LabelWidget(TLabel* owner) : owner_(owner) { setFocusPolicy(Qt::NoFocus); }
  void Forget() { owner_ = nullptr; }

 protected:
  void paintEvent(QPaintEvent*) override {
    if (!owner_) return;
    QPainter p(this);
    p.setFont(font());
    p.setPen(palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::WindowText));
    const QString text = PlainCaption(owner_->Caption());
    Qt::Alignment h = owner_->Alignment() == taCenter         ? Qt::AlignHCenter
                      : owner_->Alignment() == taRightJustify ? Qt::AlignRight
                                                              : Qt::AlignLeft;
    if (owner_->WordWrap()) {
      p.drawText(rect(), int(h | Qt::AlignTop | Qt::TextWordWrap), LinesText(FromQ(text)));
      return;
    }
    const QStringList lines = LinesText(FromQ(text)).split(QChar('\n'));
    const int step = TextLineStep(font());
    const int baseline = std::min(QFontMetrics(font()).ascent(), step - 2);
    int top = 0;
    const int total = step * static_cast<int>(lines.size());
    if (owner_->Layout() == tlCenter) top = (height() - total) / 2;
    if (owner_->Layout() == tlBottom) top = height() - total;
    for (const QString& line : lines) {
      const int width = QFontMetrics(font()).horizontalAdvance(line);
      const int x = h == Qt::AlignHCenter ? (this->width() - width) / 2
                    : h == Qt::AlignRight ? this->width() - width
                                          : 0;
      p.drawText(x, top + baseline, line);
      top += step;
    }
  }
  void mousePressEvent(QMouseEvent* e) override { e->accept(); }
  void mouseReleaseEvent(QMouseEvent* e) override {
    e->accept();
    if (owner_ && e->button() == Qt::LeftButton && rect().contains(e->position().toPoint())) {
      TLabel* owner = owner_;
      Guarded([owner] { owner->Click(); });
    }
  }

 private:
  TLabel* owner_;
};

}  // namespace

const TClassInfo* TLabel::StaticClassInfo() {
  static const TClassInfo info = [] {
    TClassInfo i("TLabel", TGraphicControl::StaticClassInfo(),
                 [](TComponent* owner) -> TComponent* { return new TLabel(owner); });
    i.Add(BoolProp("AutoSize", &TLabel::SetAutoSize));
    i.Add(BoolProp("WordWrap", &TLabel::SetWordWrap));
    i.Add(BoolProp("Transparent", &TLabel::SetTransparent));
    i.Add(EnumProp("Alignment", &TLabel::SetAlignment, AlignmentNames));
    i.Add(EnumProp("Layout", &TLabel::SetLayout, kTextLayoutNames));
    i.Add(RefProp("FocusControl", &TLabel::SetFocusControl));
    return i;
  }();
  return &info;
}

const TClassInfo* TLabel::ClassInfo() const { return StaticClassInfo(); }

TLabel::TLabel(TComponent* owner) : TGraphicControl(owner, new LabelWidget(this)) {
  SetParentColor(true);
  SetBounds(0, 0, 65, 17);
}

TLabel::~TLabel() {
  DisconnectWidget();
  static_cast<LabelWidget*>(Widget())->Forget();
}

void TLabel::SetWordWrap(bool wrap) {
  wordWrap_ = wrap;
  UpdateLabel();
}

void TLabel::SetTransparent(bool transparent) {
  transparent_ = transparent;
  UpdateLabel();
}

void TLabel::SetAlignment(TAlignment alignment) {
  alignment_ = alignment;
  UpdateLabel();
}

void TLabel::SetLayout(TTextLayout layout) {
  layout_ = layout;
  UpdateLabel();
}

void TLabel::TextChanged() { UpdateLabel(); }
void TLabel::FontChanged() { TGraphicControl::FontChanged(); }
void TLabel::ColorChanged() { TGraphicControl::ColorChanged(); }

void TLabel::UpdateLabel() {
  // An auto-sized one-line label grows to show its whole caption: the
  // layout's widths were measured with a narrower font than the one that
  // stands in for it here. It never shrinks below the layout's width.
  const std::string caption = Caption();
  if (autoSize_ && !wordWrap_ && caption.find_first_of("\r\n") == std::string::npos) {
    const int needed = QFontMetrics(ToQFont(*Font())).horizontalAdvance(PlainCaption(caption));
    if (needed > Width()) SetWidth(needed);
  }
  Invalidate();
}

// --- TGroupBox ------------------------------------------------------------------------

namespace {

// The platform's group box: an etched frame whose top edge runs through the
// middle of the caption, the caption at the left on the box's colour.
class GroupBoxWidget : public QWidget {
 public:
  explicit GroupBoxWidget(TGroupBox* owner) : owner_(owner) { setFocusPolicy(Qt::NoFocus); }
  void Forget() { owner_ = nullptr; }

 protected:
  void paintEvent(QPaintEvent*) override {
    if (!owner_) return;
    QPainter p(this);
    const QFontMetrics metrics(font());
    const int step = TextLineStep(font());
    const int top = step / 2;
    const QRect frame(0, top, width() - 1, height() - top - 1);
    p.setPen(ToQColor(clBtnShadow));
    p.drawRect(frame.adjusted(0, 0, -1, -1));
    p.setPen(ToQColor(clBtnHighlight));
    p.drawRect(frame.adjusted(1, 1, 0, 0));
    const QString caption = PlainCaption(owner_->Caption());
    if (caption.isEmpty()) return;
    const int width = metrics.horizontalAdvance(caption);
    p.fillRect(QRect(8, 0, width, step), palette().color(QPalette::Window));
    p.setPen(palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::WindowText));
    p.drawText(8, std::min(metrics.ascent(), step - 2), caption);
  }

 private:
  TGroupBox* owner_;
};

}  // namespace

const TClassInfo* TGroupBox::StaticClassInfo() {
  static const TClassInfo info(
      "TGroupBox", TWinControl::StaticClassInfo(),
      [](TComponent* owner) -> TComponent* { return new TGroupBox(owner); });
  return &info;
}

const TClassInfo* TGroupBox::ClassInfo() const { return StaticClassInfo(); }

TGroupBox::TGroupBox(TComponent* owner) : TWinControl(owner, new GroupBoxWidget(this)) {
  Widget()->setAutoFillBackground(true);
  SetBounds(0, 0, 185, 105);
}

TGroupBox::~TGroupBox() {
  DisconnectWidget();
  static_cast<GroupBoxWidget*>(Widget())->Forget();
}

void TGroupBox::TextChanged() { Invalidate(); }

void TGroupBox::ColorChanged() { TWinControl::ColorChanged(); }

// --- TCustomComboBox ----------------------------------------------------------------------

// The combo box's Items: the list the widget shows.
class TCustomComboBox::ItemList : public TStrings {
 public:
  explicit ItemList(TCustomComboBox* owner) : owner_(owner) {}
  QComboBox* Box() const { return static_cast<QComboBox*>(owner_->Widget()); }

  int Count() const override { return Box()->count(); }
  std::string Strings(int index) const override {
    if (index < 0 || index >= Count())
      throw EListError(Format("List index out of bounds (%d)", index));
    return FromQ(Box()->itemText(index));
  }
  int Add(const std::string& s) override {
    QComboBox* box = Box();
    const int selected = box->currentIndex();
    int at = box->count();
    if (owner_->Sorted())
      for (int i = 0; i < box->count(); ++i)
        if (AnsiCompareText(s, FromQ(box->itemText(i))) < 0) {
          at = i;
          break;
        }
    box->blockSignals(true);
    box->insertItem(at, ToQ(s));
    // Adding an item never selects one.
    if (selected < 0) box->setCurrentIndex(-1);
    box->blockSignals(false);
    return at;
  }
  void Clear() override {
    QComboBox* box = Box();
    box->blockSignals(true);
    box->clear();
    box->blockSignals(false);
  }
  void Delete(int index) override {
    if (index < 0 || index >= Count())
      throw EListError(Format("List index out of bounds (%d)", index));
    QComboBox* box = Box();
    box->blockSignals(true);
    box->removeItem(index);
    box->blockSignals(false);
  }

 private:
  TCustomComboBox* owner_;
};

const TClassInfo* TCustomComboBox::StaticClassInfo() {
  static const TClassInfo info = [] {
    TClassInfo i("TCustomComboBox", TWinControl::StaticClassInfo());
    i.Add(EnumProp("Style", &TCustomComboBox::SetStyle, ComboBoxStyleNames));
    i.Add(IntProp("ItemIndex", &TCustomComboBox::SetItemIndex));
    i.Add(IntProp("ItemHeight", &TCustomComboBox::SetItemHeight));
    i.Add(IntProp("DropDownCount", &TCustomComboBox::SetDropDownCount));
    i.Add(EventProp("OnChange", &TCustomComboBox::OnChange));
    i.Add(EventProp("OnDropDown", &TCustomComboBox::OnDropDown));
    return i;
  }();
  return &info;
}

const TClassInfo* TCustomComboBox::ClassInfo() const { return StaticClassInfo(); }

TCustomComboBox::TCustomComboBox(TComponent* owner)
    : TWinControl(owner, new QComboBox), items_(std::make_unique<ItemList>(this)) {
  auto* box = static_cast<QComboBox*>(Widget());
  box->setEditable(true);
  box->setInsertPolicy(QComboBox::NoInsert);
  box->setMaxVisibleItems(dropDownCount_);
  SetTabStop(true);
  SetColor(clWindow);
  SetBounds(0, 0, 145, 21);
  QObject::connect(box, &QComboBox::activated, box, [this] { ControlAccess::UserPick(this); });
  QObject::connect(box, &QComboBox::editTextChanged, box, [this] { ControlAccess::UserEdit(this); });
}

TCustomComboBox::~TCustomComboBox() { DisconnectWidget(); }

TStrings* TCustomComboBox::Items() const { return items_.get(); }

void ControlAccess::UserPick(TCustomComboBox* combo) {
  // The platform's order: the click, then the change.
  Guarded([combo] {
    combo->Click();
    combo->Change();
  });
}

void ControlAccess::UserEdit(TCustomComboBox* combo) {
  auto* box = static_cast<QComboBox*>(combo->Widget());
  if (!box->isEditable() || !box->lineEdit() || !box->lineEdit()->hasFocus()) return;
  Guarded([combo] { combo->Change(); });
}

void TCustomComboBox::ColorChanged() {
  TWinControl::ColorChanged();
  SetBaseColor(Widget(), Color());
}

void TCustomComboBox::Change() {
  if (OnChange.Assigned()) OnChange(this);
}

int TCustomComboBox::ItemIndex() const { return static_cast<QComboBox*>(Widget())->currentIndex(); }

void TCustomComboBox::SetItemIndex(int index) {
  auto* box = static_cast<QComboBox*>(Widget());
  if (index >= box->count() || index < -1) {
    if (HasState(csLoading)) {
      pendingIndex_ = index;
      return;
    }
    index = -1;
  }
  box->blockSignals(true);
  box->setCurrentIndex(index);
  if (index < 0 && box->isEditable()) box->setEditText(QString());
  box->blockSignals(false);
}

void TCustomComboBox::Loaded() {
  TWinControl::Loaded();
  if (pendingIndex_ >= 0 && pendingIndex_ < items_->Count()) SetItemIndex(pendingIndex_);
  pendingIndex_ = -2;
}

void TCustomComboBox::SetStyle(TComboBoxStyle style) {
  style_ = style;
  auto* box = static_cast<QComboBox*>(Widget());
  const int selected = box->currentIndex();
  box->blockSignals(true);
  box->setEditable(style == csDropDown || style == csSimple);
  box->setCurrentIndex(selected);
  box->blockSignals(false);
}

std::string TCustomComboBox::Text() const {
  auto* box = static_cast<QComboBox*>(Widget());
  if (box->isEditable()) return FromQ(box->currentText());
  const int index = box->currentIndex();
  return index < 0 ? std::string() : FromQ(box->itemText(index));
}

void TCustomComboBox::SetText(const std::string& text) {
  auto* box = static_cast<QComboBox*>(Widget());
  box->blockSignals(true);
  if (box->isEditable()) {
    box->setEditText(ToQ(text));
  } else {
    const int index = items_->IndexOf(text);
    if (index >= 0) box->setCurrentIndex(index);
  }
  box->blockSignals(false);
}

void TCustomComboBox::SetDropDownCount(int count) {
  dropDownCount_ = count;
  static_cast<QComboBox*>(Widget())->setMaxVisibleItems(count > 0 ? count : 1);
}

void TCustomComboBox::SetSorted(bool sorted) {
  sorted_ = sorted;
  if (!sorted) return;
  std::vector<std::string> texts;
  for (int i = 0; i < items_->Count(); ++i) texts.push_back(items_->Strings(i));
  std::stable_sort(texts.begin(), texts.end(),
                   [](const std::string& a, const std::string& b) { return AnsiCompareText(a, b) < 0; });
  const std::string selected = Text();
  items_->Clear();
  sorted_ = false;
  for (const auto& t : texts) items_->Add(t);
  sorted_ = true;
  if (!selected.empty()) SetText(selected);
}

bool TCustomComboBox::DroppedDown() const { return static_cast<QComboBox*>(Widget())->view()->isVisible(); }

void TCustomComboBox::SetDroppedDown(bool down) {
  auto* box = static_cast<QComboBox*>(Widget());
  if (down) {
    if (OnDropDown.Assigned()) OnDropDown(this);
    box->showPopup();
  } else {
    box->hidePopup();
  }
}

const TClassInfo* TComboBox::StaticClassInfo() {
  static const TClassInfo info = [] {
    TClassInfo i("TComboBox", TCustomComboBox::StaticClassInfo(),
                 [](TComponent* owner) -> TComponent* { return new TComboBox(owner); });
    i.Add(SubProp("Items", &TCustomComboBox::Items));
    i.Add(BoolProp("Sorted", &TCustomComboBox::SetSorted));
    return i;
  }();
  return &info;
}

const TClassInfo* TComboBox::ClassInfo() const { return StaticClassInfo(); }

}  // namespace vcl
