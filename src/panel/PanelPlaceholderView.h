#pragma once

#include <QWidget>

class QLabel;

namespace quorvex {

class DeviceHubPanel;

/// What the side panel shows until its sections exist: the device it works on.
class PanelPlaceholderView final : public QWidget {
    Q_OBJECT
public:
    explicit PanelPlaceholderView(DeviceHubPanel& panel, QWidget* parent = nullptr);

    QString deviceText() const;

private:
    void refresh();

    DeviceHubPanel& m_panel;
    QLabel* m_device;
};

} // namespace quorvex
