#include "app/presenter/captions.h"

#include "config/port_config.h"

namespace tillgate {
namespace {

std::string Com(int port_index) { return "COM" + std::to_string(port_index + 1); }

}  // namespace

std::string Caption(Control control) {
  if (const int port = PortOf(control, Control::RadioButton1); port >= 0) return Com(port);
  if (const int port = PortOf(control, Control::CheckBox18); port >= 0) return Com(port);
  switch (control) {
    case Control::Form1:
      return "Tillgate";
    case Control::TabSheet1:
      return "Базы";
    case Control::TabSheet2:
      return "Оборудование";
    case Control::TabSheet3:
      return "Запуск";
    case Control::TabSheet4:
      return "Диагностика";
    case Control::TabSheet5:
      return "Мониторинг";
    case Control::TabSheet6:
      return "Сведения";
    case Control::TabSheet8:
      return "Инсталляция";
    case Control::TabSheet9:
      return "Товары";
    case Control::TabSheet10:
      return "Отчеты";
    case Control::StaticText1:
      return "Путь к базе товаров";
    case Control::StaticText2:
      return "Путь к базе отчетов";
    case Control::StaticText3:
    case Control::StaticText4:
      return "Подключить";
    case Control::StaticText5:
      return "Маска штрих-кода";
    case Control::StaticText6:
      return "1-ая строка наименования";
    case Control::StaticText7:
      return "2-ая строка наименования";
    case Control::StaticText8:
      return "(симв.) Разделение Код/Ш-код";
    case Control::StaticText9:
      return "Устройство порта";
    case Control::CheckBox1:
      return "Отслеживать остатки товаров";
    case Control::GroupBox2:
      return " Порты ";
    case Control::CheckBox34:
      return "Автозапуск при загрузке";
    case Control::Button2:
      return "Запуск";
    case Control::Button3:
      return "Обновить";
    case Control::Label1:
      return "Tillgate";
    case Control::Label2:
      return "Сервер кассовых аппаратов. Поддержка: support@tillgate.example";
    case Control::Button4:
      return std::string(InstallButtonCaption(false));
    case Control::Button1:
      return "Выход";
    default:
      return {};
  }
}

const std::vector<std::string>& ModelItems() {
  static const std::vector<std::string> items{"ЭКР-3102Ф", "Электроника-92", "Ладога Ф"};
  return items;
}

const std::vector<std::string>& NameLineItems() {
  static const std::vector<std::string> items{"Наименование", "Количество"};
  return items;
}

std::string_view InstallButtonCaption(bool installed) {
  return installed ? "ДЕИНСТАЛЛЯЦИЯ" : "ИНСТАЛЛЯЦИЯ";
}

}  // namespace tillgate
