#pragma once

#include "network/plan/NetworkProfile.h"
#include "simulator/SimulatorApp.h"

#include <QWidget>

class QMenu;

namespace quorvex {

class NetworkService;
class Segments;
class Spinner;
class ValueMenu;

/// The side panel's card for one app's network profile: Wi-Fi, 5G and Off as segments, the other
/// speeds and the flaky-network scenarios in a menu. Holds no choice of its own: it redraws from
/// the network model on every change and hands each pick to it. Refuses input while the model
/// applies a change. GUI thread.
class NetworkSection final : public QWidget {
    Q_OBJECT
public:
    NetworkSection(const SimulatorApp& app, NetworkService& network, QWidget* parent = nullptr);

    const SimulatorApp& app() const { return m_app; }
    void setApp(const SimulatorApp& app);

    Segments* segments() const { return m_segments; }
    ValueMenu* otherSpeeds() const { return m_otherSpeeds; }
    Spinner* spinner() const { return m_spinner; }

private:
    void refresh();
    void fillMenu(const NetworkProfile& current);
    void addProfileItem(QMenu* menu, const NetworkProfile& profile, const NetworkProfile& current);
    void chooseSegment(const QString& id);

    SimulatorApp m_app;
    NetworkService& m_network;
    Spinner* m_spinner;
    Segments* m_segments;
    ValueMenu* m_otherSpeeds;
};

} // namespace quorvex
