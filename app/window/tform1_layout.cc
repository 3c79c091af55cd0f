// Building the controls of the main window in their places; the presenter
// gives them their captions, items and values. Positions are the pixels the
// window was drawn in, grown by the layout scale for the font in use; the
// window can grow beyond that, and the monitoring grids take the extra room.

#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QResizeEvent>
#include <QTabBar>
#include <QTabWidget>
#include <QTableView>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>
#include <initializer_list>
#include <utility>
#include <vector>

#include "app/presenter/window_design.h"
#include "app/window/about_picture.h"
#include "app/window/folder_lists.h"
#include "app/window/foot_line.h"
#include "app/window/grid_table_model.h"
#include "app/window/proportional_columns.h"
#include "app/window/tform1.h"
#include "app/window/up_down.h"

namespace tillgate {
namespace {

constexpr int kGridRefreshMs = 50;
const QColor kTeal(0x00, 0x80, 0x80);

template <typename W>
W* Place(const LayoutScale& scale, W* widget, const char* name, int x, int y, int width,
         int height) {
  widget->setObjectName(QString::fromLatin1(name));
  widget->setGeometry(scale.Rect(x, y, width, height));
  return widget;
}

QLabel* StaticText(const LayoutScale& scale, QWidget* parent, const char* name, int x, int y,
                   int width) {
  return Place(scale, new QLabel(parent), name, x, y, width, 16);
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

// The columns of the monitoring grids as drawn, with what each was drawn to
// show whole ('9' stands for any digit).
std::vector<ColumnDesign> GoodsColumns() {
  return {{103, {}}, {146, {}}, {71, {}}, {29, {}}, {64, QStringLiteral("9999999999999")},
          {64, {}}};
}

// The report's name column was drawn for the first eight characters of a
// name; the tooltip holds the rest.
std::vector<ColumnDesign> ReportColumns() {
  return {{42, QStringLiteral("9999999")},
          {33, {}},
          {53, QStringLiteral("99999999")},
          {48, QStringLiteral("99:99:99")},
          {47, {}},
          {49, {}},
          {46, QStringLiteral("Кефир 1%")},
          {40, {}},
          {37, {}},
          {34, {}},
          {44, {}}};
}

// The diagnostics grid's columns are all of one width, drawn for its
// headings and a serial number.
constexpr int kDiagnosticsColumnWidth = 57;
const char* const kDiagnosticsSizedFor[] = {"Тип кассы", "Зав.Номер", "Сет.Номер", "9999999",
                                            "COM16"};

// Rows as drawn, or as high as the font needs.
int RowHeight(const QFont& font, int drawn) {
  return std::max(drawn, QFontMetrics(font).height() + 3);
}

// A goods or report grid: the code-page-866 texts in the serif face, rows of
// 16 pixels or as the face needs, the columns fitted to it.
void ShapeMonitoringGrid(QTableView* grid, const std::vector<ColumnDesign>& design) {
  grid->setFont(SerifFont(11));
  grid->horizontalHeader()->setFont(SerifFont(11));
  grid->verticalHeader()->setMinimumSectionSize(10);
  grid->verticalHeader()->setDefaultSectionSize(RowHeight(grid->font(), 16));
  std::vector<ColumnDesign> columns = design;
  for (ColumnDesign& column : columns)
    column.sized_for = WidestDigits(grid->font(), column.sized_for);
  new ProportionalColumns(grid, FittedColumnWidths(columns, grid->font(), CellMargins(grid)));
}

}  // namespace

void TForm1::BuildControls() {
  setObjectName(QStringLiteral("Form1"));
  QFont font;
  font.setFamilies({QStringLiteral("MS Sans Serif"), QStringLiteral("DejaVu Sans")});
  font.setPointSize(8);
  setFont(font);
  scale_ = ScaleForFont(font);
  const QSize initial = scale_.Size(kDesignWidth, kDesignHeight);
  setGeometry(QRect(QPoint(205, 161), initial));
  // Smaller would cut the pages' controls; larger gives the grids room.
  setMinimumSize(initial);

  PageControl1 =
      Place(scale_, new QTabWidget(this), "PageControl1", 0, 0, kDesignWidth, kDesignPagesHeight);
  PageControl1->addTab(BuildFoldersPage(), QString());
  PageControl1->addTab(BuildEquipmentPage(), QString());
  PageControl1->addTab(BuildStartPage(), QString());
  PageControl1->addTab(BuildDiagnosticsPage(), QString());
  PageControl1->addTab(BuildMonitoringPage(), QString());
  PageControl1->addTab(BuildInformationPage(), QString());
  PageControl1->addTab(BuildInstallationPage(), QString());
  PageControl1->setCurrentIndex(5);
  // Seven tabs must fit the window's width without scroll arrows.
  PageControl1->setStyleSheet(QStringLiteral("QTabBar::tab { padding: 3px 6px; }"));

  EventLine = Place(scale_, new FootLine(this), "EventLine", kMargin, 344, 440, 25);
  Button1 = Place(scale_, new QPushButton(this), "Button1", 456, 344, 80, 25);
  LayOutWindow();
  NameControls();
  SetTabOrder();

  Timer1 = new QTimer(this);
  Timer1->setObjectName(QStringLiteral("Timer1"));
  Timer1->setInterval(kGridRefreshMs);
}

void TForm1::NameControls() {
  // What each control is, for screen readers and automation; a control
  // whose caption says it all keeps its caption.
  const std::pair<QWidget*, const char*> names[] = {
      {PageControl1, "Страницы окна"},
      {PageControl1->tabBar(), "Вкладки страниц окна"},
      {PageControl2, "Страницы мониторинга"},
      {PageControl2->tabBar(), "Вкладки страниц мониторинга"},
      {Edit1, "Путь к базе товаров"},
      {DriveComboBox1, "Диск базы товаров"},
      {DirectoryListBox1, "Папки базы товаров"},
      {Edit2, "Путь к базе отчетов"},
      {DriveComboBox2, "Диск базы отчетов"},
      {DirectoryListBox2, "Папки базы отчетов"},
      {GroupBox1, "Остатки товаров"},
      {GroupBox2, "Порты"},
      {ComboBox1, "Модель кассы"},
      {GroupBox3, "Настройки порта"},
      {Edit3, "Маска штрих-кода"},
      {ComboBox2, "1-ая строка наименования"},
      {ComboBox3, "2-ая строка наименования"},
      {MaskEdit1, "Разделение Код/Ш-код, символов"},
      {UpDown1, "Стрелки разделения Код/Ш-код"},
      {Edit4, "Устройство порта"},
      {PortProblem, "Неполадка порта"},
      {GroupBox4, "Порты для запуска"},
      {StringGrid1, "Таблица опознанных касс"},
      {StringGrid2, "Таблица товаров"},
      {StringGrid3, "Таблица отчетов"},
      {findChild<QLabel*>(QStringLiteral("Image1")), "Рисунок кассового аппарата"},
  };
  for (const auto& [widget, text] : names) widget->setAccessibleName(QString::fromUtf8(text));
  for (int port = 0; port < kPortCount; ++port) {
    const QString com = Numbered("COM", port + 1);
    port_radios_[port]->setAccessibleName(com);
    connect_boxes_[port]->setAccessibleName(QStringLiteral("Подключить ") + com);
    start_boxes_[port]->setAccessibleName(QStringLiteral("Запуск ") + com);
  }
  UpDown1->SetArrowNames(QStringLiteral("Увеличить разделение Код/Ш-код"),
                         QStringLiteral("Уменьшить разделение Код/Ш-код"));
  // The captions' texts name the labels' fields.
  const std::pair<const char*, QWidget*> buddies[] = {
      {"StaticText1", Edit1},     {"StaticText2", Edit2},     {"StaticText5", Edit3},
      {"StaticText6", ComboBox2}, {"StaticText7", ComboBox3}, {"StaticText8", MaskEdit1},
      {"StaticText9", Edit4}};
  for (const auto& [label, field] : buddies)
    findChild<QLabel*>(QString::fromLatin1(label))->setBuddy(field);
}

void TForm1::SetTabOrder() {
  // Down each page as it reads: the folders column by column; the ports row
  // by row down each column, each with its connect box (the radio buttons
  // are one stop, at the checked port), then the model and the port's
  // settings; the start boxes in port order; the grids; then the foot.
  std::vector<QWidget*> order{PageControl1->tabBar(), Edit1,    DriveComboBox1,
                              DirectoryListBox1,      Edit2,    DriveComboBox2,
                              DirectoryListBox2,      CheckBox1};
  for (int port = 0; port < kPortCount; ++port) {
    order.push_back(port_radios_[port]);
    order.push_back(connect_boxes_[port]);
  }
  for (QWidget* widget :
       std::initializer_list<QWidget*>{ComboBox1, Edit3, ComboBox2, ComboBox3, MaskEdit1, Edit4})
    order.push_back(widget);
  for (QCheckBox* box : start_boxes_) order.push_back(box);
  for (QWidget* widget : std::initializer_list<QWidget*>{
           CheckBox34, Button2, StringGrid1, StringGrid2, Button3, StringGrid3,
           PageControl2->tabBar(), Button4, EventLine, Button1})
    order.push_back(widget);
  for (size_t i = 1; i < order.size(); ++i) setTabOrder(order[i - 1], order[i]);
}

void TForm1::LayOutWindow() {
  // The pages fill the window above the foot; the exit button keeps the
  // bottom right corner and the event line the room left of it.
  const int foot_top = height() - scale_.Y(kDesignFootGap);
  PageControl1->setGeometry(0, 0, width(), height() - scale_.Y(kDesignHeight - kDesignPagesHeight));
  const int button_left = width() - scale_.X(kDesignButton1Right);
  Button1->setGeometry(button_left, foot_top, scale_.X(80), scale_.Y(25));
  const int line_left = scale_.X(kMargin);
  EventLine->setGeometry(line_left, foot_top,
                         std::max(0, button_left - scale_.X(kMargin) - line_left), scale_.Y(25));
}

void TForm1::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  if (PageControl1 != nullptr) LayOutWindow();
}

QWidget* TForm1::BuildFoldersPage() {
  const LayoutScale& s = scale_;
  auto* page = new QWidget;
  page->setObjectName(QStringLiteral("TabSheet1"));
  StaticText(s, page, "StaticText1", 8, 6, 250);
  Edit1 = Place(s, new QLineEdit(page), "Edit1", 8, 24, 254, 21);
  QPalette grey = Edit1->palette();
  grey.setColor(QPalette::Base, palette().color(QPalette::Button));
  Edit1->setPalette(grey);
  DriveComboBox1 = Place(s, new DriveComboBox(page), "DriveComboBox1", 8, 50, 254, 22);
  DirectoryListBox1 = Place(s, new DirectoryListBox(page), "DirectoryListBox1", 8, 76, 254, 160);
  DriveComboBox1->SetDirList(DirectoryListBox1);

  StaticText(s, page, "StaticText2", 272, 6, 250);
  Edit2 = Place(s, new QLineEdit(page), "Edit2", 272, 24, 254, 21);
  DriveComboBox2 = Place(s, new DriveComboBox(page), "DriveComboBox2", 272, 50, 254, 22);
  DirectoryListBox2 = Place(s, new DirectoryListBox(page), "DirectoryListBox2", 272, 76, 254, 160);
  DriveComboBox2->SetDirList(DirectoryListBox2);

  GroupBox1 = Place(s, new QGroupBox(page), "GroupBox1", 8, 242, 518, 48);
  CheckBox1 = Place(s, new QCheckBox(GroupBox1), "CheckBox1", 12, 16, 300, 22);
  return page;
}

QWidget* TForm1::BuildEquipmentPage() {
  const LayoutScale& s = scale_;
  auto* page = new QWidget;
  page->setObjectName(QStringLiteral("TabSheet2"));
  GroupBox2 = Place(s, new QGroupBox(page), "GroupBox2", 8, 4, 256, 292);
  for (int column = 0; column < 2; ++column) {
    const int x = 10 + column * 124;
    StaticText(s, GroupBox2, column == 0 ? "StaticText3" : "StaticText4", x + 38, 18, 80);
    for (int row = 0; row < 8; ++row) {
      const int port = column * 8 + row;
      const int y = 38 + row * 31;
      port_radios_[port] =
          Place(s, new QRadioButton(GroupBox2),
                Numbered("RadioButton", port + 1).toLatin1().constData(), x, y, 62, 22);
      connect_boxes_[port] =
          Place(s, new QCheckBox(GroupBox2), Numbered("CheckBox", port + 2).toLatin1().constData(),
                x + 68, y, 22, 22);
    }
  }

  ComboBox1 = Place(s, new QComboBox(page), "ComboBox1", 272, 8, 256, 22);

  GroupBox3 = Place(s, new QGroupBox(page), "GroupBox3", 272, 36, 256, 260);
  StaticText(s, GroupBox3, "StaticText5", 10, 12, 230);
  Edit3 = Place(s, new QLineEdit(GroupBox3), "Edit3", 10, 30, 160, 21);
  StaticText(s, GroupBox3, "StaticText6", 10, 58, 230);
  ComboBox2 = Place(s, new QComboBox(GroupBox3), "ComboBox2", 10, 76, 160, 22);
  StaticText(s, GroupBox3, "StaticText7", 10, 104, 230);
  ComboBox3 = Place(s, new QComboBox(GroupBox3), "ComboBox3", 10, 122, 160, 22);

  MaskEdit1 = Place(s, new QLineEdit(GroupBox3), "MaskEdit1", 10, 156, 34, 21);
  UpDown1 = Place(s, new UpDown(GroupBox3), "UpDown1", 44, 156, 16, 21);
  UpDown1->setRange(4, 12);
  UpDown1->SetBuddy(MaskEdit1);
  StaticText(s, GroupBox3, "StaticText8", 64, 158, 190);

  StaticText(s, GroupBox3, "StaticText9", 10, 194, 230);
  Edit4 = Place(s, new QLineEdit(GroupBox3), "Edit4", 10, 212, 232, 21);
  PortProblem = StaticText(s, GroupBox3, "PortProblem", 10, 236, 232);
  PortProblem->setStyleSheet(QStringLiteral("color: #b00000;"));
  return page;
}

QWidget* TForm1::BuildStartPage() {
  const LayoutScale& s = scale_;
  auto* page = new QWidget;
  page->setObjectName(QStringLiteral("TabSheet3"));
  GroupBox4 = Place(s, new QGroupBox(page), "GroupBox4", 8, 4, 518, 290);
  for (int port = 0; port < kPortCount; ++port) {
    const int column = port / 4;
    const int row = port % 4;
    start_boxes_[port] =
        Place(s, new QCheckBox(GroupBox4), Numbered("CheckBox", port + 18).toLatin1().constData(),
              20 + column * 124, 20 + row * 32, 100, 22);
  }
  CheckBox34 = Place(s, new QCheckBox(GroupBox4), "CheckBox34", 20, 170, 260, 22);
  Button2 = Place(s, new QPushButton(GroupBox4), "Button2", 20, 214, 100, 28);
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
  StringGrid1 = grid;
  // The page joins the window only later: measure with the window's font.
  const QFont text_font = font();
  std::vector<ColumnDesign> columns;
  for (const char* text : kDiagnosticsSizedFor)
    columns.push_back({kDiagnosticsColumnWidth, WidestDigits(text_font, QString::fromUtf8(text))});
  const int column_width = FittedColumnWidths(columns, text_font, CellMargins(grid)).front();
  const int row_height = RowHeight(text_font, 15);
  grid->horizontalHeader()->setDefaultSectionSize(column_width);
  grid->horizontalHeader()->setMinimumSectionSize(10);
  grid->horizontalHeader()->setFixedHeight(row_height);
  grid->verticalHeader()->setMinimumSectionSize(10);
  grid->verticalHeader()->setDefaultSectionSize(row_height);
  grid->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  grid->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  // Heading row plus rows 1..15, all in sight.
  const int frame = 2 * grid->frameWidth();
  grid->setGeometry(scale_.X(8), scale_.Y(8), kDiagnosticsColumns * column_width + frame,
                    kDiagnosticsRows * row_height + frame);
  return page;
}

QWidget* TForm1::BuildMonitoringPage() {
  const LayoutScale& s = scale_;
  auto* page = new QWidget;
  page->setObjectName(QStringLiteral("TabSheet5"));
  PageControl2 = new QTabWidget(page);
  PageControl2->setObjectName(QStringLiteral("PageControl2"));
  PageControl2->setTabPosition(QTabWidget::South);
  auto* page_layout = new QVBoxLayout(page);
  page_layout->setContentsMargins(s.X(4), s.Y(4), s.X(4), s.Y(4));
  page_layout->addWidget(PageControl2);

  auto* goods_page = new QWidget;
  goods_page->setObjectName(QStringLiteral("TabSheet9"));
  StringGrid2 = BuildGrid(QStringLiteral("StringGrid2"), goods_model_, goods_page);
  ShapeMonitoringGrid(StringGrid2, GoodsColumns());
  Button3 = new QPushButton(goods_page);
  Button3->setObjectName(QStringLiteral("Button3"));
  Button3->setFixedSize(s.Size(90, 25));
  auto* goods_layout = new QVBoxLayout(goods_page);
  goods_layout->setContentsMargins(s.X(2), s.Y(2), s.X(2), s.Y(2));
  goods_layout->setSpacing(s.Y(4));
  goods_layout->addWidget(StringGrid2, 1);
  goods_layout->addWidget(Button3, 0, Qt::AlignLeft);

  auto* report_page = new QWidget;
  report_page->setObjectName(QStringLiteral("TabSheet10"));
  StringGrid3 = BuildGrid(QStringLiteral("StringGrid3"), report_model_, report_page);
  ShapeMonitoringGrid(StringGrid3, ReportColumns());
  auto* report_layout = new QVBoxLayout(report_page);
  report_layout->setContentsMargins(s.X(2), s.Y(2), s.X(2), s.Y(2));
  report_layout->addWidget(StringGrid3);

  PageControl2->addTab(goods_page, QString());
  PageControl2->addTab(report_page, QString());
  PageControl2->setCurrentIndex(1);
  return page;
}

QWidget* TForm1::BuildInformationPage() {
  const LayoutScale& s = scale_;
  auto* page = new QWidget;
  page->setObjectName(QStringLiteral("TabSheet6"));
  auto* image = Place(s, new QLabel(page), "Image1", 24, 40, 200, 200);
  image->setPixmap(DrawAboutPicture(200));

  auto* panel = Place(s, new QFrame(page), "Panel1", 256, 70, 250, 140);
  panel->setFrameShape(QFrame::Panel);
  panel->setFrameShadow(QFrame::Sunken);
  QFont banner = SerifFont(22);
  banner.setBold(true);
  auto* label1 = Place(s, new QLabel(panel), "Label1", 25, 15, 200, 50);
  label1->setFont(banner);
  auto* label2 = Place(s, new QLabel(panel), "Label2", 25, 75, 200, 50);
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
  Button4 = Place(scale_, new QPushButton(page), "Button4", 162, 120, 210, 40);
  return page;
}

}  // namespace tillgate
