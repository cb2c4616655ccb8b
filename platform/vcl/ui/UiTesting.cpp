#include "UiTesting.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QCheckBox>
#include <QStyle>
#include <QStyleOptionButton>
#include <QComboBox>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTimer>
#include <QToolTip>

#include "AppCore.h"
#include "QtBridge.h"

namespace vcl::testing {

namespace {

Qt::Key ToQtKey(Key key) {
  switch (key) {
    case Key::Return: return Qt::Key_Return;
    case Key::Enter: return Qt::Key_Enter;
    case Key::Escape: return Qt::Key_Escape;
    case Key::Tab: return Qt::Key_Tab;
    case Key::Space: return Qt::Key_Space;
    case Key::Down: return Qt::Key_Down;
    case Key::Up: return Qt::Key_Up;
  }
  return Qt::Key_unknown;
}

void Focus(TWinControl* control) {
  QWidget* w = control->Widget();
  QWidget* window = w->window();
  window->activateWindow();
  w->setFocus(Qt::OtherFocusReason);
  QCoreApplication::processEvents();
}

QWidget* FocusTarget(TWinControl* control) {
  QWidget* w = control->Widget();
  QWidget* focus = w->window()->focusWidget();
  if (focus && (focus == w || w->isAncestorOf(focus))) return focus;
  return w->focusProxy() ? w->focusProxy() : w;
}

}  // namespace

bool ClickControl(TControl* control) {
  QWidget* w = control->Widget();
  if (!w->isVisible()) return false;
  QPoint local = w->rect().center();
  // A check box takes clicks on its box and its text only.
  if (auto* box = qobject_cast<QCheckBox*>(w)) {
    QStyleOptionButton option;
    option.initFrom(box);
    local = box->style()->subElementRect(QStyle::SE_CheckBoxIndicator, &option, box).center();
  }
  QWidget* target = w->childAt(local);
  if (!target) target = w;
  const QPoint at = target->mapFrom(w, local);
  const QPointF global = target->mapToGlobal(QPointF(at));
  QMouseEvent press(QEvent::MouseButtonPress, QPointF(at), global, Qt::LeftButton, Qt::LeftButton,
                    Qt::NoModifier);
  QApplication::sendEvent(target, &press);
  QMouseEvent release(QEvent::MouseButtonRelease, QPointF(at), global, Qt::LeftButton, Qt::NoButton,
                      Qt::NoModifier);
  QApplication::sendEvent(target, &release);
  return true;
}

void PressKey(TWinControl* control, Key key) {
  Focus(control);
  QWidget* target = FocusTarget(control);
  const QString text = key == Key::Return || key == Key::Enter ? QStringLiteral("\r")
                       : key == Key::Escape                    ? QString(QChar(27))
                       : key == Key::Space                     ? QStringLiteral(" ")
                       : key == Key::Tab                       ? QStringLiteral("\t")
                                                               : QString();
  QKeyEvent press(QEvent::KeyPress, ToQtKey(key), Qt::NoModifier, text);
  QApplication::sendEvent(target, &press);
  QKeyEvent release(QEvent::KeyRelease, ToQtKey(key), Qt::NoModifier, text);
  QApplication::sendEvent(target, &release);
}

void TypeText(TWinControl* control, const std::string& text) {
  Focus(control);
  QWidget* target = FocusTarget(control);
  const QString q = ToQ(text);
  for (qsizetype i = 0; i < q.size(); ++i) {
    QString one(q[i]);
    if (q[i].isHighSurrogate() && i + 1 < q.size()) one += q[++i];
    QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, one);
    QApplication::sendEvent(target, &press);
    QKeyEvent release(QEvent::KeyRelease, Qt::Key_unknown, Qt::NoModifier, one);
    QApplication::sendEvent(target, &release);
  }
}

void CloseByUser(TForm* form) { form->Widget()->close(); }

std::string HoverHint(TControl* control) {
  QWidget* w = control->Widget();
  const QPoint local = w->rect().center();
  QHelpEvent help(QEvent::ToolTip, local, w->mapToGlobal(local));
  // A widget without a tip ignores the event and shows nothing.
  QApplication::sendEvent(w, &help);
  const std::string shown = help.isAccepted() && QToolTip::isVisible() ? FromQ(QToolTip::text()) : std::string();
  QToolTip::hideText();
  return shown;
}

void PickComboItem(TCustomComboBox* combo, int index) {
  auto* box = static_cast<QComboBox*>(combo->Widget());
  box->showPopup();
  QAbstractItemView* view = box->view();
  view->setCurrentIndex(box->model()->index(index, box->modelColumn()));
  QKeyEvent press(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
  QApplication::sendEvent(view, &press);
  QCoreApplication::processEvents();
}

bool WaitUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
  CheckSynchronize();
  if (done()) return true;
  bool expired = false;
  QTimer deadline;
  deadline.setSingleShot(true);
  QObject::connect(&deadline, &QTimer::timeout, [&expired] { expired = true; });
  deadline.start(static_cast<int>(timeout.count()));
  while (!done() && !expired) {
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    CheckSynchronize();
  }
  return done();
}

void ProcessPending() {
  QCoreApplication::processEvents();
  CheckSynchronize();
  QCoreApplication::processEvents();
}

std::unique_ptr<TBitmap> Grab(TControl* control) {
  QWidget* w = control->Widget();
  QCoreApplication::processEvents();
  // What the screen shows there: the parent's background included.
  QPixmap pixmap = w->parentWidget() ? w->parentWidget()->grab(w->geometry()) : w->grab();
  auto bitmap = std::make_unique<TBitmap>();
  bitmap->MutableImage() = pixmap.toImage().convertToFormat(QImage::Format_RGB32);
  return bitmap;
}

namespace {
QPlainTextEdit* View(TMemo* memo) { return static_cast<QPlainTextEdit*>(memo->Widget()); }
}  // namespace

int VerticalScroll(TMemo* memo) { return View(memo)->verticalScrollBar()->value(); }
int VerticalScrollMaximum(TMemo* memo) { return View(memo)->verticalScrollBar()->maximum(); }
void SetVerticalScroll(TMemo* memo, int value) { View(memo)->verticalScrollBar()->setValue(value); }
int CaretPosition(TMemo* memo) { return View(memo)->textCursor().position(); }
int SelectionLength(TMemo* memo) {
  const QTextCursor caret = View(memo)->textCursor();
  return caret.selectionEnd() - caret.selectionStart();
}
void SetCaretPosition(TMemo* memo, int position) {
  QTextCursor caret = View(memo)->textCursor();
  caret.setPosition(position);
  caret.setKeepPositionOnInsert(true);
  View(memo)->setTextCursor(caret);
}

TForm* ActiveModalForm() {
  auto& forms = ModalForms();
  return forms.empty() ? nullptr : forms.back();
}

void WhenModal(std::function<void(TForm*)> action) { PendingModalActions().push_back(std::move(action)); }

}  // namespace vcl::testing
