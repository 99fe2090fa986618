#include "actions/PermissionService.h"

namespace quorvex {
namespace {

struct Row {
    PermissionService service;
    const char* raw;
    const char* title;
    const char* symbol;
};

constexpr Row kRows[] = {
    {PermissionService::calendar, "calendar", "Calendar", "calendar"},
    {PermissionService::camera, "camera", "Camera", "camera"},
    {PermissionService::contactsLimited, "contacts-limited", "Contacts (Limited)", "person.crop.circle"},
    {PermissionService::contacts, "contacts", "Contacts", "person.crop.circle"},
    {PermissionService::location, "location", "Location (While Using)", "location"},
    {PermissionService::locationAlways, "location-always", "Location (Always)", "location"},
    {PermissionService::photosAdd, "photos-add", "Photos (Add Only)", "photo.on.rectangle"},
    {PermissionService::photos, "photos", "Photos", "photo.on.rectangle"},
    {PermissionService::mediaLibrary, "media-library", "Media Library", "music.note"},
    {PermissionService::microphone, "microphone", "Microphone", "mic"},
    {PermissionService::motion, "motion", "Motion & Fitness", "figure.walk"},
    {PermissionService::reminders, "reminders", "Reminders", "checklist"},
    {PermissionService::siri, "siri", "Siri", "waveform"},
};

const Row& row(PermissionService service) {
    return kRows[static_cast<size_t>(service)];
}

} // namespace

const std::array<PermissionService, 13>& allPermissionServices() {
    static const std::array<PermissionService, 13> services = [] {
        std::array<PermissionService, 13> out{};
        for (size_t i = 0; i < out.size(); ++i)
            out[i] = kRows[i].service;
        return out;
    }();
    return services;
}

QString rawValue(PermissionService service) {
    return QString::fromLatin1(row(service).raw);
}

std::optional<PermissionService> permissionServiceFromRawValue(QStringView raw) {
    for (const Row& candidate : kRows)
        if (raw == QLatin1String(candidate.raw))
            return candidate.service;
    return std::nullopt;
}

QString title(PermissionService service) {
    return QString::fromLatin1(row(service).title);
}

QString symbol(PermissionService service) {
    return QString::fromLatin1(row(service).symbol);
}

} // namespace quorvex
