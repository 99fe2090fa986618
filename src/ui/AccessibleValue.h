#pragma once

#include <QAccessible>
#include <QString>

class QWidget;

namespace quorvex {

/// Gives a custom-drawn widget what a screen reader announces beyond its name: a role (a chart, a
/// progress bar, a label) and a value that changes while it is shown (a size, a percentage). Plain
/// QWidgets are announced as bare "client" areas with no value; a widget given a role here is
/// answered for by an interface that reads the role and the latest value. GUI thread.
struct AccessibleValue {
    /// Call first in the widget's constructor: the interface is made once, on the first query,
    /// and setting a name or a tool tip may be that query.
    static void setRole(QWidget* widget, QAccessible::Role role);
    /// Stores the value and tells a listening assistive tool that it changed.
    static void set(QWidget* widget, const QString& value);
    static QString of(const QWidget* widget);
};

} // namespace quorvex
