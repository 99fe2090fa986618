#include "panel/sections/PanelSections.h"

#include "panel/controller/DeviceHubPanel.h"
#include "panel/sections/AppActionsSection.h"
#include "panel/sections/AppHeader.h"
#include "panel/sections/LanguageSection.h"
#include "panel/sections/NetworkSection.h"
#include "panel/sections/PanelFooter.h"
#include "panel/sections/PanelServices.h"
#include "panel/sections/PermissionsSection.h"
#include "panel/sections/PhysicalDeviceSection.h"
#include "ui/Fonts.h"

#include <QLabel>
#include <QPainter>
#include <QVBoxLayout>

namespace quorvex {
namespace {

// Holds a slot whose section cannot be made yet (its services arrive at launch): a dashed card
// naming what goes there, so a panel shown meanwhile is honest about what is missing.
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
        painter.setPen(QPen(line, 1, Qt::DashLine));
        painter.drawRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), 10, 10);
    }
};

QWidget* pending(const QString& slot, const QString& detail) {
    return new PendingSectionPlaceholder(slot, detail);
}

QWidget* named(QWidget* section, const char* slot) {
    section->setObjectName(QLatin1String(slot));
    return section;
}

} // namespace

namespace PanelSections {

QWidget* physicalDeviceSection(PanelServices& services, const PhysicalDevice& device) {
    if (!services.deviceSections)
        return pending(QStringLiteral("physicalDeviceSection"),
                       QStringLiteral("Tools for %1").arg(device.name));
    return named(
        new PhysicalDeviceSection(device, *services.deviceSections, services.defaults, services.clock),
        "physicalDeviceSection");
}

QWidget* appHeader(PanelServices& services) {
    return named(new AppHeader(services.panel, services.simulators), "appHeader");
}

QWidget* networkSection(PanelServices& services, const SimulatorApp& app) {
    return named(new NetworkSection(app, services.network), "networkSection");
}

QWidget* appActionsSection(PanelServices& services, const SimulatorApp& app) {
    if (!services.actionWindows)
        return pending(QStringLiteral("appActionsSection"), QStringLiteral("Actions of %1").arg(app.name));
    return named(new AppActionsSection(services.panel, app, *services.actionWindows, services.menuFlows,
                                       services.workspace),
                 "appActionsSection");
}

QWidget* permissionsSection(PanelServices& services, const SimulatorApp& app) {
    return named(new PermissionsSection(app, services.permissions, services.clock), "permissionsSection");
}

QWidget* panelFooter(PanelServices&, bool physical) {
    return named(new PanelFooter(physical), "panelFooter");
}

QWidget* languageSection(PanelServices& services, const SimulatorApp& app) {
    std::optional<QString> udid;
    if (const auto simulator = services.panel.simulator())
        udid = simulator->udid;
    return named(new LanguageSection(udid, app, services.languageTools), "languageSection");
}

} // namespace PanelSections

} // namespace quorvex
