#pragma once

#include <QString>
#include <QStringView>

#include <array>
#include <optional>

namespace quorvex {

/// The privacy services an app's permissions can be changed for, in menu order (which is also
/// the order in which "all" is expanded). Stored and passed to simctl by raw value.
enum class PermissionService {
    calendar,
    camera,
    contactsLimited,
    contacts,
    location,
    locationAlways,
    photosAdd,
    photos,
    mediaLibrary,
    microphone,
    motion,
    reminders,
    siri,
};

/// Every service, in menu order.
const std::array<PermissionService, 13>& allPermissionServices();

/// The simctl service name ("contacts-limited").
QString rawValue(PermissionService service);
/// The service read back from its raw value; absent for an unknown name.
std::optional<PermissionService> permissionServiceFromRawValue(QStringView raw);
/// The menu title ("Contacts (Limited)").
QString title(PermissionService service);
/// The system symbol name of its menu row.
QString symbol(PermissionService service);

} // namespace quorvex
