#include "app/window/up_down.h"

#include <QKeyEvent>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>

namespace tillgate {

UpDown::UpDown(QWidget* parent) : QWidget(parent) {
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  up_ = new QToolButton(this);
  down_ = new QToolButton(this);
  up_->setObjectName(QStringLiteral("UpArrow"));
  down_->setObjectName(QStringLiteral("DownArrow"));
  up_->setArrowType(Qt::UpArrow);
  down_->setArrowType(Qt::DownArrow);
  for (QToolButton* button : {up_, down_}) {
    button->setAutoRepeat(true);
    button->setFocusPolicy(Qt::NoFocus);
    button->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    layout->addWidget(button);
  }
  connect(up_, &QToolButton::clicked, this, &UpDown::StepUp);
  connect(down_, &QToolButton::clicked, this, &UpDown::StepDown);
}

void UpDown::SetBuddy(QLineEdit* edit) {
  if (buddy_) buddy_->removeEventFilter(this);
  buddy_ = edit;
  if (buddy_) buddy_->installEventFilter(this);
}

void UpDown::SetArrowNames(const QString& up, const QString& down) {
  up_->setAccessibleName(up);
  down_->setAccessibleName(down);
}

bool UpDown::eventFilter(QObject* watched, QEvent* event) {
  if (watched == buddy_ && event->type() == QEvent::KeyPress && isEnabled()) {
    const int key = static_cast<QKeyEvent*>(event)->key();
    if (key == Qt::Key_Up || key == Qt::Key_Down) {
      Step(key == Qt::Key_Up ? +1 : -1);
      return true;
    }
  }
  return QWidget::eventFilter(watched, event);
}

void UpDown::setRange(int minimum, int maximum) {
  minimum_ = minimum;
  maximum_ = std::max(minimum, maximum);
  setValue(value_);
}

void UpDown::setValue(int value) { value_ = std::clamp(value, minimum_, maximum_); }

void UpDown::Step(int delta) {
  if (buddy_) {
    bool ok = false;
    const int shown = buddy_->text().trimmed().toInt(&ok, 10);
    if (ok) setValue(shown);
  }
  setValue(value_ + delta);
  if (buddy_) buddy_->setText(QString::number(value_));
}

}  // namespace tillgate
