#include "ui/AccessibleValue.h"

#include <QAccessibleWidget>
#include <QVariant>
#include <QWidget>

namespace quorvex {

namespace {

constexpr const char* kRole = "quorvexAccessibleRole";
constexpr const char* kValue = "quorvexAccessibleValue";

class ValuedWidget final : public QAccessibleWidget {
public:
    ValuedWidget(QWidget* widget, QAccessible::Role role)
        : QAccessibleWidget(widget, role) {}

    QString text(QAccessible::Text kind) const override {
        if (kind == QAccessible::Value)
            return widget()->property(kValue).toString();
        return QAccessibleWidget::text(kind);
    }
};

// Asked once per class of the widget's hierarchy, most derived first; answering at the first ask
// puts this interface ahead of the one the widget's base class would get.
QAccessibleInterface* factory(const QString& className, QObject* object) {
    auto* widget = qobject_cast<QWidget*>(object);
    if (!widget || className != QLatin1String(object->metaObject()->className()))
        return nullptr;
    const QVariant role = widget->property(kRole);
    if (!role.isValid())
        return nullptr;
    return new ValuedWidget(widget, static_cast<QAccessible::Role>(role.toInt()));
}

} // namespace

void AccessibleValue::setRole(QWidget* widget, QAccessible::Role role) {
    static const bool installed = (QAccessible::installFactory(factory), true);
    Q_UNUSED(installed);
    widget->setProperty(kRole, static_cast<int>(role));
}

void AccessibleValue::set(QWidget* widget, const QString& value) {
    if (widget->property(kValue).toString() == value)
        return;
    widget->setProperty(kValue, value);
    if (QAccessible::isActive()) {
        QAccessibleValueChangeEvent event(widget, value);
        QAccessible::updateAccessibility(&event);
    }
}

QString AccessibleValue::of(const QWidget* widget) {
    return widget->property(kValue).toString();
}

} // namespace quorvex
