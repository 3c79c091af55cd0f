#include "store/monitoring_views.h"

#include "store/cp866.h"

namespace tillgate {
namespace {

void WriteRow0(GridModel& grid, std::initializer_list<const char*> headings) {
  int column = 0;
  for (const char* text : headings) grid.SetCell(column++, 0, Utf8ToCp866(text));
}

}  // namespace

void MonitoringViews::WriteHeadings() {
  WriteRow0(diagnostics, {"    Порт", "Тип кассы", "Зав.Номер", "Сет.Номер"});
  WriteRow0(goods, {"   Код товара", " Наименование", "     Цена", "     Отдел", "    Штрихкод",
                    "     Кол-во"});
  WriteRow0(report, {"N KKM", "N чека", "Дата", "Время", "Опер.", "Код тов.", "Наим.", "Цена",
                     "Кол-во", "Сумма", "Отдел"});
}

}  // namespace tillgate
