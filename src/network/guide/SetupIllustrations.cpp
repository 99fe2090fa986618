#include "network/guide/SetupIllustrations.h"

#include "illustrations/DoneIllustration.h"
#include "illustrations/IntroIllustration.h"
#include "illustrations/ProxyAlertIllustration.h"
#include "illustrations/SettingsIllustration.h"

namespace quorvex {
namespace {

constexpr double kIntroSegment = 2.2;

// The basic profiles without the two that do not slow anything down for the phone to show.
QList<IntroIllustration::Profile> introProfiles() {
    QList<IntroIllustration::Profile> profiles;
    for (const NetworkProfile& profile : NetworkProfile::basic()) {
        if (profile.id == "unlimited" || profile.id == "off")
            continue;
        profiles.append({QString::fromStdString(profile.id), QString::fromStdString(profile.name),
                         QString::fromStdString(profile.symbol)});
    }
    return profiles;
}

} // namespace

IllustrationFactory setupIllustrations(Clock& clock) {
    return [&clock](const IllustrationSpec& spec, QWidget* parent) -> QWidget* {
        switch (spec.kind) {
        case IllustrationSpec::Kind::Intro:
            return new IntroIllustration(clock, introProfiles(), kIntroSegment, parent);
        case IllustrationSpec::Kind::Settings:
            return new SettingsIllustration(clock,
                                            {spec.infoButton, spec.toggle, spec.doneButton, spec.scrollSpot,
                                             spec.rest, spec.scrollDistance, spec.openSettingsButton,
                                             spec.dialogDuration},
                                            parent);
        case IllustrationSpec::Kind::ProxyAlert:
            return new ProxyAlertIllustration(clock, spec.allowButton, spec.rest, parent);
        case IllustrationSpec::Kind::Done:
            return new DoneIllustration(clock, QString::fromStdString(spec.profile.symbol), spec.verified,
                                        parent);
        }
        return new IntroIllustration(clock, introProfiles(), kIntroSegment, parent);
    };
}

} // namespace quorvex
