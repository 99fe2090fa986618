#include "panel/PanelPlaceholderView.h"

#include "panel/DeviceHubPanel.h"

#include <QLabel>
#include <QPainter>
#include <QVBoxLayout>

namespace quorvex {

PanelPlaceholderView::PanelPlaceholderView(DeviceHubPanel& panel, QWidget* parent)
    : QWidget(parent)
    , m_panel(panel)
    , m_device(new QLabel(this)) {
    setObjectName(QStringLiteral("panelPlaceholder"));
    setAutoFillBackground(true);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(16, 16, 16, 16);
    auto* title = new QLabel(QStringLiteral("Side Panel"), this);
    QFont font = title->font();
    font.setBold(true);
    title->setFont(font);
    layout->addWidget(title);
    m_device->setWordWrap(true);
    layout->addWidget(m_device);
    layout->addStretch();
    connect(&m_panel, &DeviceHubPanel::stateChanged, this, &PanelPlaceholderView::refresh);
    refresh();
}

QString PanelPlaceholderView::deviceText() const {
    if (const auto simulator = m_panel.simulator())
        return simulator->name;
    if (const auto device = m_panel.physicalDevice())
        return device->name;
    return QStringLiteral("No device");
}

void PanelPlaceholderView::refresh() {
    m_device->setText(deviceText());
}

} // namespace quorvex
