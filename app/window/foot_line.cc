#include "app/window/foot_line.h"

#include <QFontMetrics>
#include <QResizeEvent>

namespace tillgate {
namespace {

const QString kQuietCaption = QStringLiteral("Журнал событий");

QString StyleFor(bool showing, Severity severity) {
  QString colour = QStringLiteral("palette(text)");
  if (!showing) colour = QStringLiteral("palette(mid)");
  if (showing && severity == Severity::kError) colour = QStringLiteral("#b00000");
  return QStringLiteral(
             "QPushButton { text-align: left; border: 1px solid transparent; padding: 0 4px;"
             " color: %1; }"
             "QPushButton:focus { border: 1px dotted palette(text); }"
             "QPushButton:hover { border: 1px solid palette(mid); }")
      .arg(colour);
}

}  // namespace

FootLine::FootLine(QWidget* parent) : QPushButton(parent) {
  setFlat(true);
  setAccessibleName(kQuietCaption);
  Apply({}, Severity::kInfo);
}

void FootLine::ShowProblem(const QString& text, Severity severity) {
  const bool showing = !text.isEmpty();
  // Most events leave the line as it is; restyling it each time would cost.
  if (showing == showing_ && (!showing || (text == full_text_ && severity == severity_))) return;
  Apply(text, severity);
}

void FootLine::Apply(const QString& text, Severity severity) {
  showing_ = !text.isEmpty();
  severity_ = severity;
  full_text_ = showing_ ? text : kQuietCaption;
  setStyleSheet(StyleFor(showing_, severity_));
  setToolTip(showing_ ? text : QString());
  setAccessibleDescription(showing_ ? text : QString());
  Fit();
}

void FootLine::resizeEvent(QResizeEvent* event) {
  QPushButton::resizeEvent(event);
  Fit();
}

void FootLine::Fit() {
  const int room = std::max(0, width() - 2 * fontMetrics().averageCharWidth());
  setText(fontMetrics().elidedText(full_text_, Qt::ElideRight, room));
}

}  // namespace tillgate
