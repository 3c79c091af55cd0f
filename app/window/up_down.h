#pragma once
// A pair of arrow buttons that step an integer shown in a line edit (the
// edit is the one place the number lives; the control keeps only its range
// and last position). No wrap-around at either end.

#include <QLineEdit>
#include <QWidget>

class QToolButton;

namespace tillgate {

class UpDown final : public QWidget {
  Q_OBJECT
  Q_PROPERTY(int minimum READ minimum)
  Q_PROPERTY(int maximum READ maximum)
  Q_PROPERTY(int value READ value WRITE setValue)

 public:
  explicit UpDown(QWidget* parent = nullptr);

  void setRange(int minimum, int maximum);
  int minimum() const { return minimum_; }
  int maximum() const { return maximum_; }
  int value() const { return value_; }
  // Clamps to the range; does not touch the edit.
  void setValue(int value);

  // The edit whose text the arrows step; its Up and Down keys step it too.
  void SetBuddy(QLineEdit* edit);
  // What the two arrows say they do, for screen readers.
  void SetArrowNames(const QString& up, const QString& down);

  // One step up or down from the edit's number (or the last position when
  // the edit holds no number); writes the result into the edit.
  void StepUp() { Step(+1); }
  void StepDown() { Step(-1); }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void Step(int delta);

  QLineEdit* buddy_ = nullptr;
  QToolButton* up_;
  QToolButton* down_;
  int minimum_ = 0;
  int maximum_ = 100;
  int value_ = 0;
};

}  // namespace tillgate
