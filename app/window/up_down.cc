#include "app/window/up_down.h"

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
