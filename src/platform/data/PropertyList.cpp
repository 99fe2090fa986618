#include "platform/data/PropertyList.h"

#include "platform/data/OldStylePropertyList.h"
#include "platform/data/PlistSettingsFormat.h"

namespace quorvex {
namespace {

bool looksLikeXml(const QByteArray& bytes) {
    QByteArrayView view(bytes);
    if (view.startsWith("\xEF\xBB\xBF"))
        view = view.sliced(3);
    view = view.trimmed();
    return view.startsWith("<?xml") || view.startsWith("<!DOCTYPE") || view.startsWith("<plist");
}

} // namespace

std::optional<QVariant> propertyListToVariant(const QByteArray& bytes) {
    if (bytes.startsWith("bplist") || looksLikeXml(bytes)) {
        bool ok = false;
        QVariant value = plistToVariant(bytes, &ok);
        return ok ? std::optional<QVariant>(std::move(value)) : std::nullopt;
    }
    return OldStylePropertyList::parse(bytes);
}

} // namespace quorvex
