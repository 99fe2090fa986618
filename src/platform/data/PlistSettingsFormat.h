#pragma once

#include <QSettings>

namespace quorvex {

/// A QSettings format that stores values as an XML property list, so Bool, integer, real, string,
/// data, array and dictionary values come back with the type they were written with (Qt's INI
/// format gives a stored false back as the string "false").
QSettings::Format plistSettingsFormat();

/// Conversions between QVariant and property-list XML, shared with code that reads plist files.
QByteArray variantToPlistXml(const QVariant& value);
QVariant plistToVariant(const QByteArray& xmlOrBinary, bool* ok = nullptr);

} // namespace quorvex
