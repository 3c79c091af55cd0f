#include "app/window/combo_box_accessible.h"

#include <QAbstractItemView>
#include <QAccessible>
#include <QAccessibleWidget>
#include <QComboBox>

namespace tillgate {
namespace {

class ComboBoxAccessible final : public QAccessibleWidget {
 public:
  explicit ComboBoxAccessible(QComboBox* box) : QAccessibleWidget(box, QAccessible::ComboBox) {
    addControllingSignal(QStringLiteral("activated(int)"));
  }

  int childCount() const override { return 1; }
  // The list of items, with Qt's own interface (its items can be selected).
  QAccessibleInterface* child(int index) const override {
    return index == 0 ? QAccessible::queryAccessibleInterface(Box()->view()) : nullptr;
  }
  int indexOfChild(const QAccessibleInterface* child) const override {
    return child != nullptr && child->object() == Box()->view() ? 0 : -1;
  }
  QAccessibleInterface* childAt(int, int) const override { return nullptr; }

  QString text(QAccessible::Text kind) const override {
    if (kind == QAccessible::Value) return Box()->currentText();
    if (kind == QAccessible::Name) {
      const QString name = Box()->accessibleName();
      return name.isEmpty() ? Box()->currentText() : name;
    }
    return QAccessibleWidget::text(kind);
  }

  QAccessible::State state() const override {
    QAccessible::State state = QAccessibleWidget::state();
    state.expandable = true;
    state.expanded = Box()->view()->isVisible();
    return state;
  }

  QStringList actionNames() const override { return {showMenuAction(), pressAction()}; }
  void doAction(const QString& action) override {
    if (action != showMenuAction() && action != pressAction()) return;
    if (Box()->view()->isVisible()) {
      Box()->hidePopup();
    } else {
      Box()->showPopup();
    }
  }
  QStringList keyBindingsForAction(const QString&) const override { return {}; }

 private:
  QComboBox* Box() const { return static_cast<QComboBox*>(object()); }
};

QAccessibleInterface* Factory(const QString& class_name, QObject* object) {
  auto* box = qobject_cast<QComboBox*>(object);
  if (box == nullptr || box->isEditable()) return nullptr;
  // Asked once per class from the most derived one up: answer the first.
  if (class_name != QLatin1String(object->metaObject()->className())) return nullptr;
  return new ComboBoxAccessible(box);
}

}  // namespace

void InstallComboBoxAccessibility() {
  static const bool installed = [] {
    QAccessible::installFactory(&Factory);
    return true;
  }();
  (void)installed;
}

}  // namespace tillgate
