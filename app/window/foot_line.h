#pragma once
// The line at the window's foot: the latest warning or error still to be
// shown (errors in red), cut to the room there is with the whole text as its
// tooltip. Pressing it opens the event list.

#include <QPushButton>
#include <QString>

#include "config/event_sink.h"

namespace tillgate {

class FootLine final : public QPushButton {
  Q_OBJECT

 public:
  explicit FootLine(QWidget* parent = nullptr);

  // Shows `text` as a problem of `severity`; an empty text shows the quiet
  // caption that only offers the list.
  void ShowProblem(const QString& text, Severity severity);
  // The text shown, whole (the caption may be cut).
  const QString& FullText() const { return full_text_; }
  bool ShowsError() const { return showing_ && severity_ == Severity::kError; }

 protected:
  void resizeEvent(QResizeEvent* event) override;

 private:
  void Apply(const QString& text, Severity severity);
  void Fit();

  QString full_text_;
  Severity severity_ = Severity::kInfo;
  bool showing_ = false;
};

}  // namespace tillgate
