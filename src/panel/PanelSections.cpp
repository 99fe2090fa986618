#include "panel/PanelSections.h"

#include "ui/Fonts.h"

#include <QLabel>
#include <QPainter>
#include <QVBoxLayout>

namespace quorvex {
namespace {

// Holds a slot until its section lands: a dashed card naming what goes there, so a panel shown
// meanwhile is honest about what is missing.
class PendingSectionPlaceholder final : public QWidget {
public:
    PendingSectionPlaceholder(const QString& slot, const QString& detail) {
        setObjectName(slot);
        setProperty("pendingSection", true);
        auto* layout = new QVBoxLayout(this);
        layout->setContentsMargins(12, 10, 12, 10);
        auto* label = new QLabel(detail, this);
        label->setFont(Fonts::caption());
        label->setWordWrap(true);
        label->setForegroundRole(QPalette::PlaceholderText);
        layout->addWidget(label);
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        QColor line = palette().color(QPalette::WindowText);
        line.setAlphaF(0.25f);
        QPen pen(line, 1, Qt::DashLine);
        painter.setPen(pen);
        painter.drawRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), 10, 10);
    }
};

QWidget* pending(const QString& slot, const QString& detail) {
    return new PendingSectionPlaceholder(slot, detail);
}

} // namespace

namespace PanelSections {

QWidget* physicalDeviceSection(PanelServices&, const PhysicalDevice& device) {
    return pending(QStringLiteral("physicalDeviceSection"), QStringLiteral("Tools for %1").arg(device.name));
}

QWidget* appHeader(PanelServices&) {
    return pending(QStringLiteral("appHeader"), QStringLiteral("App header"));
}

QWidget* networkSection(PanelServices&, const SimulatorApp& app) {
    return pending(QStringLiteral("networkSection"), QStringLiteral("Network of %1").arg(app.name));
}

QWidget* appActionsSection(PanelServices&, const SimulatorApp& app) {
    return pending(QStringLiteral("appActionsSection"), QStringLiteral("Actions of %1").arg(app.name));
}

QWidget* permissionsSection(PanelServices&, const SimulatorApp& app) {
    return pending(QStringLiteral("permissionsSection"), QStringLiteral("Permissions of %1").arg(app.name));
}

QWidget* panelFooter(PanelServices&, bool) {
    return pending(QStringLiteral("panelFooter"), QStringLiteral("Footer"));
}

QWidget* languageSection(PanelServices&, const SimulatorApp& app) {
    return pending(QStringLiteral("languageSection"), QStringLiteral("Language of %1").arg(app.name));
}

} // namespace PanelSections

} // namespace quorvex
