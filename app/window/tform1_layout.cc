// Building the controls of the main window with their texts, defaults and
// places. Positions are in pixels inside each page, as the window was drawn.

#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTableView>
#include <QTimer>

#include "app/window/about_picture.h"
#include "app/window/folder_lists.h"
#include "app/window/grid_table_model.h"
#include "app/window/tform1.h"
#include "app/window/up_down.h"

namespace tillgate {
namespace {

constexpr int kGridRefreshMs = 50;
const QColor kTeal(0x00, 0x80, 0x80);

template <typename W>
W* Place(W* widget, const char* name, int x, int y, int width, int height) {
  widget->setObjectName(QString::fromLatin1(name));
  widget->setGeometry(x, y, width, height);
  return widget;
}

QLabel* StaticText(QWidget* parent, const char* name, const QString& text, int x, int y,
                   int width) {
  auto* label = Place(new QLabel(text, parent), name, x, y, width, 16);
  return label;
}

QString Numbered(const char* stem, int number) {
  return QString::fromLatin1(stem) + QString::number(number);
}

// The serif face that stands in for "Times New Roman"; Cyrillic must render.
QFont SerifFont(int pixel_size) {
  QFont font;
  font.setFamilies({QStringLiteral("Times New Roman"), QStringLiteral("Liberation Serif"),
                    QStringLiteral("DejaVu Serif")});
  font.setPixelSize(pixel_size);
  return font;
}

}  // namespace

void TForm1::BuildControls() {
  setObjectName(QStringLiteral("Form1"));
  setWindowTitle(QStringLiteral("Tillgate"));
  QFont font;
  font.setFamilies({QStringLiteral("MS Sans Serif"), QStringLiteral("DejaVu Sans")});
  font.setPointSize(8);
  setFont(font);
  setGeometry(205, 161, 544, 375);
  setFixedSize(544, 375);

  PageControl1 = Place(new QTabWidget(this), "PageControl1", 0, 0, 544, 338);
  PageControl1->addTab(BuildFoldersPage(), QStringLiteral("Базы"));
  PageControl1->addTab(BuildEquipmentPage(), QStringLiteral("Оборудование"));
  PageControl1->addTab(BuildStartPage(), QStringLiteral("Запуск"));
  PageControl1->addTab(BuildDiagnosticsPage(), QStringLiteral("Диагностика"));
  PageControl1->addTab(BuildMonitoringPage(), QStringLiteral("Мониторинг"));
  PageControl1->addTab(BuildInformationPage(), QStringLiteral("Сведения"));
  PageControl1->addTab(BuildInstallationPage(), QStringLiteral("Инсталляция"));
  PageControl1->setCurrentIndex(5);
  // Seven tabs must fit the window's width without scroll arrows.
  PageControl1->setStyleSheet(QStringLiteral("QTabBar::tab { padding: 3px 6px; }"));

  Button1 = Place(new QPushButton(QStringLiteral("Выход"), this), "Button1", 456, 344, 80, 25);

  Timer1 = new QTimer(this);
  Timer1->setObjectName(QStringLiteral("Timer1"));
  Timer1->setInterval(kGridRefreshMs);
}

QWidget* TForm1::BuildFoldersPage() {
  auto* page = new QWidget;
  page->setObjectName(QStringLiteral("TabSheet1"));
  StaticText(page, "StaticText1", QStringLiteral("Путь к базе товаров"), 8, 6, 250);
  Edit1 = Place(new QLineEdit(page), "Edit1", 8, 24, 254, 21);
  QPalette grey = Edit1->palette();
  grey.setColor(QPalette::Base, palette().color(QPalette::Button));
  Edit1->setPalette(grey);
  DriveComboBox1 = Place(new DriveComboBox(page), "DriveComboBox1", 8, 50, 254, 22);
  DirectoryListBox1 = Place(new DirectoryListBox(page), "DirectoryListBox1", 8, 76, 254, 160);
  DriveComboBox1->SetDirList(DirectoryListBox1);

  StaticText(page, "StaticText2", QStringLiteral("Путь к базе отчетов"), 272, 6, 250);
  Edit2 = Place(new QLineEdit(page), "Edit2", 272, 24, 254, 21);
  DriveComboBox2 = Place(new DriveComboBox(page), "DriveComboBox2", 272, 50, 254, 22);
  DirectoryListBox2 = Place(new DirectoryListBox(page), "DirectoryListBox2", 272, 76, 254, 160);
  DriveComboBox2->SetDirList(DirectoryListBox2);

  GroupBox1 = Place(new QGroupBox(page), "GroupBox1", 8, 242, 518, 48);
  CheckBox1 = Place(new QCheckBox(QStringLiteral("Отслеживать остатки товаров"), GroupBox1),
                    "CheckBox1", 12, 16, 300, 22);
  return page;
}

QWidget* TForm1::BuildEquipmentPage() {
  auto* page = new QWidget;
  page->setObjectName(QStringLiteral("TabSheet2"));
  GroupBox2 = Place(new QGroupBox(QStringLiteral(" Порты "), page), "GroupBox2", 8, 4, 256, 292);
  for (int column = 0; column < 2; ++column) {
    const int x = 10 + column * 124;
    StaticText(GroupBox2, column == 0 ? "StaticText3" : "StaticText4", QStringLiteral("Подключить"),
               x + 38, 18, 80);
    for (int row = 0; row < 8; ++row) {
      const int port = column * 8 + row;
      const int y = 38 + row * 31;
      port_radios_[port] =
          Place(new QRadioButton(Numbered("COM", port + 1), GroupBox2),
                Numbered("RadioButton", port + 1).toLatin1().constData(), x, y, 62, 22);
      connect_boxes_[port] =
          Place(new QCheckBox(GroupBox2), Numbered("CheckBox", port + 2).toLatin1().constData(),
                x + 68, y, 22, 22);
    }
  }
  port_radios_[1]->setChecked(true);

  ComboBox1 = Place(new QComboBox(page), "ComboBox1", 272, 8, 256, 22);
  ComboBox1->addItems(
      {QStringLiteral("ЭКР-3102Ф"), QStringLiteral("Электроника-92"), QStringLiteral("Ладога Ф")});
  ComboBox1->setCurrentIndex(-1);

  GroupBox3 = Place(new QGroupBox(page), "GroupBox3", 272, 36, 256, 260);
  StaticText(GroupBox3, "StaticText5", QStringLiteral("Маска штрих-кода"), 10, 12, 230);
  Edit3 = Place(new QLineEdit(QStringLiteral("25CCCCCWWWWW"), GroupBox3), "Edit3", 10, 30, 160, 21);
  const QStringList name_items{QStringLiteral("Наименование"), QStringLiteral("Количество")};
  StaticText(GroupBox3, "StaticText6", QStringLiteral("1-ая строка наименования"), 10, 58, 230);
  ComboBox2 = Place(new QComboBox(GroupBox3), "ComboBox2", 10, 76, 160, 22);
  ComboBox2->addItems(name_items);
  ComboBox2->setCurrentIndex(-1);
  StaticText(GroupBox3, "StaticText7", QStringLiteral("2-ая строка наименования"), 10, 104, 230);
  ComboBox3 = Place(new QComboBox(GroupBox3), "ComboBox3", 10, 122, 160, 22);
  ComboBox3->addItems(name_items);
  ComboBox3->setCurrentIndex(-1);

  MaskEdit1 = Place(new QLineEdit(QStringLiteral("4"), GroupBox3), "MaskEdit1", 10, 156, 34, 21);
  UpDown1 = Place(new UpDown(GroupBox3), "UpDown1", 44, 156, 16, 21);
  UpDown1->setRange(4, 12);
  UpDown1->setValue(4);
  UpDown1->SetBuddy(MaskEdit1);
  StaticText(GroupBox3, "StaticText8", QStringLiteral("(симв.) Разделение Код/Ш-код"), 64, 158,
             190);

  StaticText(GroupBox3, "StaticText9", QStringLiteral("Устройство порта"), 10, 194, 230);
  Edit4 = Place(new QLineEdit(GroupBox3), "Edit4", 10, 212, 232, 21);
  return page;
}

QWidget* TForm1::BuildStartPage() {
  auto* page = new QWidget;
  page->setObjectName(QStringLiteral("TabSheet3"));
  GroupBox4 = Place(new QGroupBox(page), "GroupBox4", 8, 4, 518, 290);
  for (int port = 0; port < kPortCount; ++port) {
    const int column = port / 4;
    const int row = port % 4;
    start_boxes_[port] = Place(new QCheckBox(Numbered("COM", port + 1), GroupBox4),
                               Numbered("CheckBox", port + 18).toLatin1().constData(),
                               20 + column * 124, 20 + row * 32, 100, 22);
  }
  CheckBox34 = Place(new QCheckBox(QStringLiteral("Автозапуск при загрузке"), GroupBox4),
                     "CheckBox34", 20, 170, 260, 22);
  Button2 =
      Place(new QPushButton(QStringLiteral("Запуск"), GroupBox4), "Button2", 20, 214, 100, 28);
  return page;
}

QTableView* TForm1::BuildGrid(const QString& name, GridTableModel* model, QWidget* parent) {
  auto* view = new QTableView(parent);
  view->setObjectName(name);
  view->setModel(model);
  view->verticalHeader()->hide();
  view->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  view->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
  view->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  view->horizontalHeader()->setHighlightSections(false);
  view->setEditTriggers(QAbstractItemView::NoEditTriggers);
  view->setWordWrap(false);
  view->setTextElideMode(Qt::ElideNone);
  QPalette teal = view->palette();
  teal.setColor(QPalette::Base, kTeal);
  teal.setColor(QPalette::AlternateBase, kTeal);
  teal.setColor(QPalette::Text, Qt::black);
  view->setPalette(teal);
  return view;
}

QWidget* TForm1::BuildDiagnosticsPage() {
  auto* page = new QWidget;
  page->setObjectName(QStringLiteral("TabSheet4"));
  auto* grid = BuildGrid(QStringLiteral("StringGrid1"), diagnostics_model_, page);
  grid->horizontalHeader()->setDefaultSectionSize(57);
  grid->horizontalHeader()->setMinimumSectionSize(10);
  grid->horizontalHeader()->setFixedHeight(15);
  grid->verticalHeader()->setMinimumSectionSize(10);
  grid->verticalHeader()->setDefaultSectionSize(15);
  grid->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  grid->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  // Heading row plus rows 1..15, all in sight.
  const int frame = 2 * grid->frameWidth();
  grid->setGeometry(8, 8, kDiagnosticsColumns * 57 + frame, kDiagnosticsRows * 15 + frame);
  return page;
}

QWidget* TForm1::BuildMonitoringPage() {
  auto* page = new QWidget;
  page->setObjectName(QStringLiteral("TabSheet5"));
  PageControl2 = Place(new QTabWidget(page), "PageControl2", 4, 4, 528, 298);
  PageControl2->setTabPosition(QTabWidget::South);

  auto* goods_page = new QWidget;
  goods_page->setObjectName(QStringLiteral("TabSheet9"));
  auto* goods = BuildGrid(QStringLiteral("StringGrid2"), goods_model_, goods_page);
  goods->setFont(SerifFont(11));
  goods->horizontalHeader()->setFont(SerifFont(11));
  goods->verticalHeader()->setMinimumSectionSize(10);
  goods->verticalHeader()->setDefaultSectionSize(16);
  const int goods_widths[kGoodsColumns] = {103, 146, 71, 29, 64, 64};
  for (int column = 0; column < kGoodsColumns; ++column)
    goods->horizontalHeader()->resizeSection(column, goods_widths[column]);
  goods->setGeometry(2, 2, 518, 236);
  Button3 =
      Place(new QPushButton(QStringLiteral("Обновить"), goods_page), "Button3", 2, 242, 90, 25);

  auto* report_page = new QWidget;
  report_page->setObjectName(QStringLiteral("TabSheet10"));
  auto* report = BuildGrid(QStringLiteral("StringGrid3"), report_model_, report_page);
  report->setFont(SerifFont(11));
  report->horizontalHeader()->setFont(SerifFont(11));
  report->verticalHeader()->setMinimumSectionSize(10);
  report->verticalHeader()->setDefaultSectionSize(16);
  const int report_widths[kReportColumns] = {42, 33, 53, 48, 47, 49, 46, 40, 37, 34, 44};
  for (int column = 0; column < kReportColumns; ++column)
    report->horizontalHeader()->resizeSection(column, report_widths[column]);
  report->setGeometry(2, 2, 518, 266);

  PageControl2->addTab(goods_page, QStringLiteral("Товары"));
  PageControl2->addTab(report_page, QStringLiteral("Отчеты"));
  PageControl2->setCurrentIndex(1);
  return page;
}

QWidget* TForm1::BuildInformationPage() {
  auto* page = new QWidget;
  page->setObjectName(QStringLiteral("TabSheet6"));
  auto* image = Place(new QLabel(page), "Image1", 24, 40, 200, 200);
  image->setPixmap(DrawAboutPicture(200));

  auto* panel = Place(new QFrame(page), "Panel1", 256, 70, 250, 140);
  panel->setFrameShape(QFrame::Panel);
  panel->setFrameShadow(QFrame::Sunken);
  QFont banner = SerifFont(22);
  banner.setBold(true);
  auto* label1 = Place(new QLabel(QStringLiteral("Tillgate"), panel), "Label1", 25, 15, 200, 50);
  label1->setFont(banner);
  auto* label2 = Place(new QLabel(QStringLiteral("Сервер кассовых аппаратов. "
                                                 "Поддержка: support@tillgate.example"),
                                  panel),
                       "Label2", 25, 75, 200, 50);
  label2->setFont(SerifFont(13));
  for (QLabel* label : {label1, label2}) {
    label->setAlignment(Qt::AlignCenter);
    label->setWordWrap(true);
    label->setFixedSize(200, 50);
  }
  return page;
}

QWidget* TForm1::BuildInstallationPage() {
  auto* page = new QWidget;
  page->setObjectName(QStringLiteral("TabSheet8"));
  Button4 =
      Place(new QPushButton(QStringLiteral("ИНСТАЛЛЯЦИЯ"), page), "Button4", 162, 120, 210, 40);
  return page;
}

}  // namespace tillgate
