#pragma once

#include <QByteArray>
#include <QVariant>

#include <optional>

namespace quorvex {

/// Reads a property list in any of its three formats: binary and XML through libplist, the
/// old-style text through OldStylePropertyList. The format is told from the first bytes
/// ("bplist", an XML declaration, doctype or <plist> tag); everything else is read as
/// old-style. Nothing when the bytes are no property list.
std::optional<QVariant> propertyListToVariant(const QByteArray& bytes);

} // namespace quorvex
