#pragma once

#include "network/plan/NetworkProfile.h"

#include <QPointF>

#include <functional>

class QWidget;

namespace quorvex {

/// Which animated drawing a setup guide page shows, with the values the page passes to it
/// (points within the drawing, durations in seconds).
struct IllustrationSpec {
    enum class Kind { Intro, Settings, ProxyAlert, Done };

    Kind kind = Kind::Intro;

    // Settings: the pointer's path through the mock of the system settings.
    QPointF infoButton, toggle, doneButton, scrollSpot, rest, openSettingsButton;
    double scrollDistance = 0;
    double dialogDuration = 0;
    // ProxyAlert: the alert's Allow button (`rest` as above).
    QPointF allowButton;
    // Done: the profile now in force and whether the setup is confirmed.
    NetworkProfile profile;
    bool verified = false;

    bool operator==(const IllustrationSpec&) const = default;

    static IllustrationSpec intro();
    static IllustrationSpec settings();
    static IllustrationSpec proxyAlert();
    static IllustrationSpec done(const NetworkProfile& profile, bool verified);
};

/// Makes the drawing of a spec; the setup guide's pages use it for every illustration.
using IllustrationFactory = std::function<QWidget*(const IllustrationSpec& spec, QWidget* parent)>;

} // namespace quorvex
