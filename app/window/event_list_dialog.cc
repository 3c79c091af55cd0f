#include "app/window/event_list_dialog.h"

#include <QDateTime>
#include <QDialogButtonBox>
#include <QHeaderView>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include "app/presenter/event_text.h"

namespace tillgate {
namespace {

const QColor kErrorColour(0xb0, 0x00, 0x00);

QTableWidgetItem* Item(const QString& text, Severity severity) {
  auto* item = new QTableWidgetItem(text);
  if (severity == Severity::kError) item->setForeground(kErrorColour);
  return item;
}

}  // namespace

EventListDialog::EventListDialog(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("EventList"));
  setWindowTitle(QStringLiteral("Журнал событий"));
  table_ = new QTableWidget(0, 3, this);
  table_->setObjectName(QStringLiteral("EventTable"));
  table_->setAccessibleName(QStringLiteral("События, последнее вверху"));
  table_->setHorizontalHeaderLabels(
      {QStringLiteral("Время"), QStringLiteral("Важность"), QStringLiteral("Событие")});
  table_->verticalHeader()->hide();
  table_->verticalHeader()->setDefaultSectionSize(table_->fontMetrics().height() + 4);
  table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  table_->setSelectionBehavior(QAbstractItemView::SelectRows);
  table_->setWordWrap(false);
  table_->horizontalHeader()->setStretchLastSection(true);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
  buttons->button(QDialogButtonBox::Close)->setText(QStringLiteral("Закрыть"));
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(table_);
  layout->addWidget(buttons);
  resize(table_->fontMetrics().averageCharWidth() * 130, table_->fontMetrics().height() * 24);
}

void EventListDialog::Fill(const std::vector<KeptEvent>& events) {
  table_->setRowCount(static_cast<int>(events.size()));
  int row = 0;
  for (const KeptEvent& event : events) {
    const QString time = QDateTime::fromMSecsSinceEpoch(event.time_ms)
                             .toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    table_->setItem(row, 0, Item(time, event.severity));
    table_->setItem(row, 1, Item(QString::fromUtf8(SeverityText(event.severity)), event.severity));
    const QString text = QString::fromStdString(OneLine(event.text));
    table_->setItem(row, 2, Item(text, event.severity));
    table_->item(row, 2)->setToolTip(text);
    ++row;
  }
  newest_shown_ = events.empty() ? 0 : events.front().serial;
  table_->resizeColumnToContents(0);
  table_->resizeColumnToContents(1);
}

}  // namespace tillgate
