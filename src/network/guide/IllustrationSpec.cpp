#include "network/guide/IllustrationSpec.h"

namespace quorvex {

IllustrationSpec IllustrationSpec::intro() {
    return {};
}

IllustrationSpec IllustrationSpec::settings() {
    IllustrationSpec spec;
    spec.kind = Kind::Settings;
    spec.infoButton = {373, 170};
    spec.toggle = {345, 123};
    spec.doneButton = {340, 161};
    spec.scrollSpot = {290, 175};
    spec.rest = {300, 238};
    spec.scrollDistance = 175;
    spec.openSettingsButton = {200, 196};
    spec.dialogDuration = 3.0;
    return spec;
}

IllustrationSpec IllustrationSpec::proxyAlert() {
    IllustrationSpec spec;
    spec.kind = Kind::ProxyAlert;
    spec.allowButton = {252, 196};
    spec.rest = {330, 240};
    return spec;
}

IllustrationSpec IllustrationSpec::done(const NetworkProfile& profile, bool verified) {
    IllustrationSpec spec;
    spec.kind = Kind::Done;
    spec.profile = profile;
    spec.verified = verified;
    return spec;
}

} // namespace quorvex
