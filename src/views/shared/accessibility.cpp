#include "views/shared/accessibility.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAccessibleWidget>
#include <QLabel>
#include <cmath>
#include <mutex>

#include "views/shared/size_bar.h"

namespace hl::Accessibility {

namespace {

constexpr const char* kKindProperty = "hlAccessibleKind";
constexpr const char* kSelectedProperty = "hlSelected";

// Our interfaces give the description the widget was given, never its tooltip: a tooltip is
// markup, which a screen reader would read out.
class PlainWidget : public QAccessibleWidget {
 public:
  PlainWidget(QWidget* widget, QAccessible::Role role) : QAccessibleWidget(widget, role) {}

  QString text(QAccessible::Text t) const override {
    switch (t) {
      case QAccessible::Name:
        if (!widget()->accessibleName().isEmpty()) return widget()->accessibleName();
        if (const auto* label = qobject_cast<const QLabel*>(widget())) return label->text();
        if (const auto* button = qobject_cast<const QAbstractButton*>(widget())) {
          return button->text();
        }
        return {};
      case QAccessible::Description:
        return widget()->accessibleDescription();
      default:
        return QAccessibleWidget::text(t);
    }
  }
};

class TabInterface : public PlainWidget {
 public:
  explicit TabInterface(QWidget* widget) : PlainWidget(widget, QAccessible::PageTab) {}

  QAccessible::State state() const override {
    QAccessible::State s = PlainWidget::state();
    s.selectable = true;
    s.selected = isSelected(widget());
    s.checkable = false;
    s.checked = false;
    return s;
  }

  QStringList actionNames() const override {
    return QStringList{pressAction()} + PlainWidget::actionNames();
  }

  void doAction(const QString& name) override {
    if (name == pressAction()) {
      if (auto* button = qobject_cast<QAbstractButton*>(widget())) button->click();
      return;
    }
    PlainWidget::doAction(name);
  }
};

class BarInterface : public PlainWidget, public QAccessibleValueInterface {
 public:
  explicit BarInterface(SizeBar* bar) : PlainWidget(bar, QAccessible::ProgressBar) {}

  void* interface_cast(QAccessible::InterfaceType type) override {
    if (type == QAccessible::ValueInterface) return static_cast<QAccessibleValueInterface*>(this);
    return PlainWidget::interface_cast(type);
  }

  QString text(QAccessible::Text t) const override {
    if (t == QAccessible::Value) return SizeBar::accessibilityValue(bar()->fraction());
    return PlainWidget::text(t);
  }

  QAccessible::State state() const override {
    QAccessible::State s = PlainWidget::state();
    s.readOnly = true;
    return s;
  }

  QVariant currentValue() const override { return percent(); }
  void setCurrentValue(const QVariant&) override {}
  QVariant maximumValue() const override { return std::max<qlonglong>(100, percent()); }
  QVariant minimumValue() const override { return qlonglong{0}; }
  QVariant minimumStepSize() const override { return qlonglong{1}; }

 private:
  SizeBar* bar() const { return static_cast<SizeBar*>(widget()); }
  qlonglong percent() const {
    const double fraction = bar()->fraction();
    return std::isfinite(fraction) ? static_cast<qlonglong>(std::llround(fraction * 100)) : 0;
  }
};

QAccessibleInterface* factory(const QString& className, QObject* object) {
  // Asked first for every class: a widget that declared nothing is left to Qt's description.
  Q_UNUSED(className);
  auto* widget = qobject_cast<QWidget*>(object);
  if (!widget) return nullptr;
  const QVariant declared = widget->property(kKindProperty);
  if (!declared.isValid()) return nullptr;
  switch (static_cast<Kind>(declared.toInt())) {
    case Kind::heading:
      return new PlainWidget(widget, QAccessible::Heading);
    case Kind::tab:
      return new TabInterface(widget);
    case Kind::tabList:
      return new PlainWidget(widget, QAccessible::PageTabList);
    case Kind::bar:
      if (auto* bar = qobject_cast<SizeBar*>(widget)) return new BarInterface(bar);
      return nullptr;
    case Kind::text:
      return new PlainWidget(widget, QAccessible::StaticText);
    case Kind::window:
      return new PlainWidget(widget, QAccessible::Window);
  }
  return nullptr;
}

Listener& listener() {
  static Listener shared;
  return shared;
}

void tell(QAccessibleEvent& event) {
  if (listener()) listener()(event);
  QAccessible::updateAccessibility(&event);
}

void installFactory() {
  static std::once_flag once;
  std::call_once(once, [] { QAccessible::installFactory(&factory); });
}

}  // namespace

void declare(QWidget* widget, Kind kind) {
  installFactory();
  widget->setProperty(kKindProperty, static_cast<int>(kind));
}

bool isDeclared(const QWidget* widget, Kind kind) {
  const QVariant declared = widget->property(kKindProperty);
  return declared.isValid() && declared.toInt() == static_cast<int>(kind);
}

void setSelected(QWidget* tab, bool selected) {
  const bool before = isSelected(tab);
  tab->setProperty(kSelectedProperty, selected);
  if (before == selected) return;
  QAccessible::State changed;
  changed.selected = true;
  announce(tab, changed);
}

bool isSelected(const QWidget* tab) { return tab->property(kSelectedProperty).toBool(); }

void announce(QWidget* widget, QAccessible::State changed) {
  QAccessibleStateChangeEvent event(widget, changed);
  tell(event);
}

void announceCurrentRow(QAbstractItemView* view, QAccessible::State changed) {
  if (!view->currentIndex().isValid()) return;
  QAccessibleInterface* list = QAccessible::queryAccessibleInterface(view);
  QAccessibleInterface* row = list ? list->focusChild() : nullptr;
  if (!row) return;
  QAccessibleStateChangeEvent event(row, changed);
  tell(event);
}

void announceValue(QWidget* widget, const QString& value) {
  QAccessibleValueChangeEvent event(widget, value);
  tell(event);
}

void setListener(Listener next) { listener() = std::move(next); }

}  // namespace hl::Accessibility
