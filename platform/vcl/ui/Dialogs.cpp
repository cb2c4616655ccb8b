#include "Dialogs.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <utility>

#include "AppCore.h"
#include "QtBridge.h"

namespace vcl {

namespace {

TDialogHook& Hook() {
  static TDialogHook hook;
  return hook;
}

std::string Title() { return Application ? Application->Title() : std::string(); }

struct ButtonInfo {
  TMsgDlgBtn button;
  const char* caption;
  TModalResult result;
  QMessageBox::ButtonRole role;
};

// In the platform's order.
constexpr ButtonInfo kButtons[] = {
    {mbYes, "&Yes", mrYes, QMessageBox::YesRole},
    {mbNo, "&No", mrNo, QMessageBox::NoRole},
    {mbOK, "OK", mrOk, QMessageBox::AcceptRole},
    {mbCancel, "Cancel", mrCancel, QMessageBox::RejectRole},
    {mbAbort, "&Abort", mrAbort, QMessageBox::RejectRole},
    {mbRetry, "&Retry", mrRetry, QMessageBox::AcceptRole},
    {mbIgnore, "&Ignore", mrIgnore, QMessageBox::AcceptRole},
    {mbAll, "&All", mrAll, QMessageBox::YesRole},
    {mbNoToAll, "N&o to All", mrNoToAll, QMessageBox::NoRole},
    {mbYesToAll, "Yes to &All", mrYesToAll, QMessageBox::YesRole},
    {mbHelp, "&Help", mrNone, QMessageBox::HelpRole},
};

QMessageBox::Icon IconOf(TMsgDlgType type) {
  switch (type) {
    case mtWarning: return QMessageBox::Warning;
    case mtError: return QMessageBox::Critical;
    case mtInformation: return QMessageBox::Information;
    case mtConfirmation: return QMessageBox::Question;
    default: return QMessageBox::NoIcon;
  }
}

TModalResult Show(const TDialogRecord& record) {
  if (Hook()) return Hook()(record);
  QMessageBox box(IconOf(record.type), ToQ(record.caption), ToQ(record.text), QMessageBox::NoButton,
                  QApplication::activeWindow());
  std::vector<std::pair<QAbstractButton*, TModalResult>> results;
  QAbstractButton* escape = nullptr;
  QAbstractButton* first = nullptr;
  for (const auto& info : kButtons) {
    if (!record.buttons.Contains(info.button)) continue;
    QPushButton* b = box.addButton(QString::fromUtf8(info.caption), info.role);
    results.emplace_back(b, info.result);
    if (!first) first = b;
    if (info.button == mbCancel || (info.button == mbNo && !record.buttons.Contains(mbCancel))) escape = b;
  }
  if (first) box.setDefaultButton(static_cast<QPushButton*>(first));
  if (escape) box.setEscapeButton(escape);
  box.exec();
  QAbstractButton* pressed = box.clickedButton();
  for (const auto& [button, result] : results)
    if (button == pressed) return result;
  // Closed from the title bar: Cancel, or the only button there is.
  return results.size() == 1 ? results.front().second : mrCancel;
}

}  // namespace

std::string MessageDlgCaption(TMsgDlgType type) {
  switch (type) {
    case mtWarning: return "Warning";
    case mtError: return "Error";
    case mtInformation: return "Information";
    case mtConfirmation: return "Confirm";
    default: return Title();
  }
}

TModalResult MessageDlg(const std::string& message, TMsgDlgType type, TMsgDlgButtons buttons,
                        long helpContext) {
  TDialogRecord record;
  record.source = TDialogRecord::Source::MessageDlg;
  record.type = type;
  record.caption = MessageDlgCaption(type);
  record.text = message;
  record.buttons = buttons;
  record.helpContext = helpContext;
  return Show(record);
}

namespace {
// A box captioned with the application's title and an OK button.
void ShowTitledBox(TDialogRecord::Source source, TMsgDlgType type, const std::string& message) {
  TDialogRecord record;
  record.source = source;
  record.type = type;
  record.caption = Title();
  record.text = message;
  record.buttons = {mbOK};
  Show(record);
}
}  // namespace

void ShowMessage(const std::string& message) {
  ShowTitledBox(TDialogRecord::Source::ShowMessage, mtCustom, message);
}

void ShowExceptionBox(const std::string& message) {
  ShowTitledBox(TDialogRecord::Source::Exception, mtError, message);
}

TDialogHook SetDialogHook(TDialogHook hook) { return std::exchange(Hook(), std::move(hook)); }

}  // namespace vcl
