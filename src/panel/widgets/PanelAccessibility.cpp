#include "panel/widgets/PanelAccessibility.h"

#include "panel/widgets/Segments.h"
#include "panel/widgets/SettingsRow.h"
#include "panel/widgets/Spinner.h"
#include "panel/widgets/ValueMenu.h"

#include <QAccessibleWidget>

namespace quorvex {
namespace {

// A card row that runs an action when clicked, or a plain row that only groups its parts.
class RowAccessible final : public QAccessibleWidget {
public:
    explicit RowAccessible(SettingsRow* row)
        : QAccessibleWidget(row) {}

    SettingsRow* row() const { return static_cast<SettingsRow*>(widget()); }

    QAccessible::Role role() const override {
        return row()->isActivatable() ? QAccessible::Button : QAccessible::Grouping;
    }
    QString text(QAccessible::Text t) const override {
        if (t == QAccessible::Name && row()->accessibleName().isEmpty())
            return row()->title();
        return QAccessibleWidget::text(t);
    }
    QStringList actionNames() const override {
        if (!row()->isActivatable())
            return QAccessibleWidget::actionNames();
        return QStringList{pressAction()} + QAccessibleWidget::actionNames();
    }
    void doAction(const QString& name) override {
        if (name == pressAction() && row()->isActivatable() && row()->isEnabled())
            emit row()->clicked();
        else
            QAccessibleWidget::doAction(name);
    }
};

class ValueMenuAccessible final : public QAccessibleWidget {
public:
    explicit ValueMenuAccessible(ValueMenu* menu)
        : QAccessibleWidget(menu, QAccessible::ButtonMenu) {}

    ValueMenu* menu() const { return static_cast<ValueMenu*>(widget()); }

    QString text(QAccessible::Text t) const override {
        if (t == QAccessible::Value)
            return menu()->text();
        if (t == QAccessible::Name && menu()->accessibleName().isEmpty())
            return menu()->text();
        return QAccessibleWidget::text(t);
    }
    QAccessible::State state() const override {
        QAccessible::State state = QAccessibleWidget::state();
        state.hasPopup = true;
        return state;
    }
    QStringList actionNames() const override {
        return QStringList{showMenuAction(), pressAction()} + QAccessibleWidget::actionNames();
    }
    void doAction(const QString& name) override {
        if ((name == showMenuAction() || name == pressAction()) && menu()->isEnabled())
            menu()->showMenu();
        else
            QAccessibleWidget::doAction(name);
    }
};

class SegmentAccessible final : public QAccessibleWidget {
public:
    explicit SegmentAccessible(QAbstractButton* segment)
        : QAccessibleWidget(segment, QAccessible::RadioButton) {}

    QAbstractButton* segment() const { return static_cast<QAbstractButton*>(widget()); }

    QString text(QAccessible::Text t) const override {
        if (t == QAccessible::Name && segment()->accessibleName().isEmpty())
            return segment()->text();
        return QAccessibleWidget::text(t);
    }
    QAccessible::State state() const override {
        QAccessible::State state = QAccessibleWidget::state();
        state.checkable = true;
        state.checked = segment()->isChecked();
        return state;
    }
    QStringList actionNames() const override {
        return QStringList{pressAction()} + QAccessibleWidget::actionNames();
    }
    void doAction(const QString& name) override {
        if (name == pressAction() && segment()->isEnabled())
            segment()->click();
        else
            QAccessibleWidget::doAction(name);
    }
};

// The segments together: named after their row, their value the chosen option's title.
class SegmentsAccessible final : public QAccessibleWidget {
public:
    explicit SegmentsAccessible(Segments* segments)
        : QAccessibleWidget(segments, QAccessible::Grouping) {}

    QString text(QAccessible::Text t) const override {
        if (t == QAccessible::Value) {
            auto* segments = static_cast<Segments*>(widget());
            const auto chosen = segments->selectedIndex();
            return chosen ? segments->button(*chosen)->text() : QString();
        }
        return QAccessibleWidget::text(t);
    }
};

class SpinnerAccessible final : public QAccessibleWidget {
public:
    explicit SpinnerAccessible(Spinner* spinner)
        : QAccessibleWidget(spinner, QAccessible::ProgressBar) {}

    QString text(QAccessible::Text t) const override {
        if (t == QAccessible::Name && widget()->accessibleName().isEmpty())
            return QStringLiteral("In progress");
        if (t == QAccessible::Value)
            return widget()->isVisible() ? QStringLiteral("Busy") : QString();
        return QAccessibleWidget::text(t);
    }
    QAccessible::State state() const override {
        QAccessible::State state = QAccessibleWidget::state();
        state.busy = widget()->isVisible();
        return state;
    }
};

QAccessibleInterface* factory(const QString& key, QObject* object) {
    if (key == QLatin1String("quorvex::SettingsRow") || key == QLatin1String("quorvex::ActionRow"))
        return new RowAccessible(static_cast<SettingsRow*>(object));
    if (key == QLatin1String("quorvex::ValueMenu"))
        return new ValueMenuAccessible(static_cast<ValueMenu*>(object));
    if (key == QLatin1String("quorvex::SegmentButton"))
        return new SegmentAccessible(static_cast<QAbstractButton*>(object));
    if (key == QLatin1String("quorvex::Segments"))
        return new SegmentsAccessible(static_cast<Segments*>(object));
    if (key == QLatin1String("quorvex::Spinner"))
        return new SpinnerAccessible(static_cast<Spinner*>(object));
    return nullptr;
}

} // namespace

void PanelAccessibility::install() {
    static const bool installed = [] {
        QAccessible::installFactory(factory);
        return true;
    }();
    (void)installed;
}

} // namespace quorvex
