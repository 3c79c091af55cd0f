#include "app/window/message_box_dialogs.h"

#include <QAbstractButton>
#include <QMessageBox>
#include <QPushButton>

namespace tillgate {

namespace {

QMessageBox::Icon IconOf(DialogKind kind) {
  switch (kind) {
    case DialogKind::kConfirmation:
      return QMessageBox::Question;
    case DialogKind::kInformation:
      return QMessageBox::Information;
    case DialogKind::kError:
      return QMessageBox::Critical;
  }
  return QMessageBox::NoIcon;
}

}  // namespace

DialogAnswer MessageBoxDialogs::Show(DialogKind kind, const QString& text, unsigned buttons) {
  QMessageBox box(IconOf(kind), QString::fromUtf8(DialogTitle(kind)), text, QMessageBox::NoButton,
                  parent_);
  // Own buttons so the captions (with their accelerators) are ours, not the
  // style's translations.
  QPushButton* yes = nullptr;
  QPushButton* no = nullptr;
  QPushButton* cancel = nullptr;
  QPushButton* ok = nullptr;
  if (buttons & kButtonYes) yes = box.addButton(QStringLiteral("&Yes"), QMessageBox::YesRole);
  if (buttons & kButtonNo) no = box.addButton(QStringLiteral("&No"), QMessageBox::NoRole);
  if (buttons & kButtonOk) ok = box.addButton(QStringLiteral("OK"), QMessageBox::AcceptRole);
  if (buttons & kButtonCancel)
    cancel = box.addButton(QStringLiteral("Cancel"), QMessageBox::RejectRole);
  if (cancel) box.setEscapeButton(cancel);
  if (yes) box.setDefaultButton(yes);
  box.exec();
  QAbstractButton* pressed = box.clickedButton();
  if (pressed == nullptr) return DialogAnswer::kClosed;
  if (pressed == yes) return DialogAnswer::kYes;
  if (pressed == no) return DialogAnswer::kNo;
  if (pressed == cancel) return DialogAnswer::kCancel;
  if (pressed == ok) return DialogAnswer::kOk;
  return DialogAnswer::kClosed;
}

}  // namespace tillgate
