#include "platform/data/PlistSettingsFormat.h"

#include <QDateTime>
#include <QIODevice>
#include <QTimeZone>

#include <plist/plist.h>

#include <cstdlib>
#include <limits>

namespace quorvex {
namespace {

// Big-endian unsigned integer of `width` (1 to 8) bytes at `at`; the caller checked the bounds.
uint64_t bigEndian(const unsigned char* at, unsigned width) {
    uint64_t value = 0;
    for (unsigned i = 0; i < width; ++i)
        value = value << 8 | at[i];
    return value;
}

// True when a binary property list is one that libplist 2.2 must not be given: a trailer or an
// offset table outside the data (libplist refuses those too), or a UTF-16 string holding a NUL
// code unit. libplist keeps such a string's full length but later asserts that it equals
// strlen(), which aborts the program when the string is a dictionary key.
bool isUnsafeBinaryPlist(const QByteArray& bytes) {
    const auto* data = reinterpret_cast<const unsigned char*>(bytes.constData());
    const auto size = static_cast<uint64_t>(bytes.size());
    if (size < 8 + 32)
        return true;
    const unsigned char* trailer = data + size - 32;
    const unsigned offsetWidth = trailer[6];
    const uint64_t objectCount = bigEndian(trailer + 8, 8);
    const uint64_t tableOffset = bigEndian(trailer + 24, 8);
    const uint64_t tableEnd = size - 32;
    if (offsetWidth < 1 || offsetWidth > 8 || tableOffset < 8 || tableOffset > tableEnd ||
        objectCount > (tableEnd - tableOffset) / offsetWidth)
        return true;
    for (uint64_t i = 0; i < objectCount; ++i) {
        const uint64_t object = bigEndian(data + tableOffset + i * offsetWidth, offsetWidth);
        if (object >= tableEnd || data[object] >> 4 != 0x6)
            continue;
        uint64_t units = data[object] & 0x0F;
        uint64_t start = object + 1;
        if (units == 0x0F) { // the length follows as an integer object: marker 0x1N, 2^N bytes
            if (start >= tableEnd || data[start] >> 4 != 0x1 || (data[start] & 0x0F) > 3)
                continue;
            const unsigned width = 1u << (data[start] & 0x0F);
            if (width > tableEnd - start - 1)
                continue;
            units = bigEndian(data + start + 1, width);
            start += 1 + width;
        }
        if (start > tableEnd || units > (tableEnd - start) / 2)
            continue; // libplist refuses a string that runs past the data
        for (uint64_t u = 0; u < units; ++u)
            if (data[start + 2 * u] == 0 && data[start + 2 * u + 1] == 0)
                return true;
    }
    return false;
}

// Property-list dates count seconds from 2001-01-01 00:00:00 UTC.
const QDateTime& referenceDate() {
    static const QDateTime date(QDate(2001, 1, 1), QTime(0, 0), QTimeZone::utc());
    return date;
}

plist_t toPlist(const QVariant& value) {
    switch (value.typeId()) {
    case QMetaType::Bool:
        return plist_new_bool(value.toBool() ? 1 : 0);
    case QMetaType::Int:
    case QMetaType::LongLong:
    case QMetaType::UInt:
    case QMetaType::ULongLong:
    case QMetaType::Long:
    case QMetaType::Short:
    case QMetaType::UShort:
        // libplist keeps integers as 64-bit patterns; negative values round-trip through the cast.
        return plist_new_uint(static_cast<uint64_t>(value.toLongLong()));
    case QMetaType::Double:
    case QMetaType::Float:
        return plist_new_real(value.toDouble());
    case QMetaType::QByteArray: {
        const QByteArray bytes = value.toByteArray();
        return plist_new_data(bytes.constData(), static_cast<uint64_t>(bytes.size()));
    }
    case QMetaType::QDateTime: {
        const qint64 ms = referenceDate().msecsTo(value.toDateTime());
        const qint64 sec = ms >= 0 ? ms / 1000 : -((-ms + 999) / 1000);
        return plist_new_date(static_cast<int32_t>(sec), static_cast<int32_t>((ms - sec * 1000) * 1000));
    }
    case QMetaType::QVariantList:
    case QMetaType::QStringList: {
        plist_t array = plist_new_array();
        for (const QVariant& item : value.toList())
            plist_array_append_item(array, toPlist(item));
        return array;
    }
    case QMetaType::QVariantMap: {
        plist_t dict = plist_new_dict();
        const QVariantMap map = value.toMap();
        for (auto it = map.cbegin(); it != map.cend(); ++it)
            plist_dict_set_item(dict, it.key().toUtf8().constData(), toPlist(it.value()));
        return dict;
    }
    default:
        return plist_new_string(value.toString().toUtf8().constData());
    }
}

QVariant fromPlist(plist_t node) {
    switch (plist_get_node_type(node)) {
    case PLIST_BOOLEAN: {
        uint8_t b = 0;
        plist_get_bool_val(node, &b);
        return QVariant(b != 0);
    }
    case PLIST_UINT: {
        uint64_t v = 0;
        plist_get_uint_val(node, &v);
        return QVariant(static_cast<qlonglong>(v));
    }
    case PLIST_REAL: {
        double v = 0;
        plist_get_real_val(node, &v);
        return QVariant(v);
    }
    case PLIST_STRING: {
        // By pointer and length: plist_get_string_val asserts (and aborts the program) on a
        // string that holds a NUL, which a damaged or hostile binary property list can contain.
        uint64_t length = 0;
        const char* s = plist_get_string_ptr(node, &length);
        return QVariant(s ? QString::fromUtf8(s, static_cast<qsizetype>(length)) : QString());
    }
    case PLIST_DATA: {
        char* d = nullptr;
        uint64_t len = 0;
        plist_get_data_val(node, &d, &len);
        QByteArray bytes(d ? d : "", static_cast<qsizetype>(len));
        std::free(d);
        return QVariant(bytes);
    }
    case PLIST_DATE: {
        int32_t sec = 0;
        int32_t usec = 0;
        plist_get_date_val(node, &sec, &usec);
        return QVariant(referenceDate().addMSecs(qint64(sec) * 1000 + usec / 1000));
    }
    case PLIST_ARRAY: {
        QVariantList list;
        const uint32_t n = plist_array_get_size(node);
        for (uint32_t i = 0; i < n; ++i)
            list.append(fromPlist(plist_array_get_item(node, i)));
        return list;
    }
    case PLIST_DICT: {
        QVariantMap map;
        plist_dict_iter it = nullptr;
        plist_dict_new_iter(node, &it);
        for (;;) {
            char* key = nullptr;
            plist_t item = nullptr;
            plist_dict_next_item(node, it, &key, &item);
            if (!item)
                break;
            map.insert(QString::fromUtf8(key ? key : ""), fromPlist(item));
            std::free(key);
        }
        std::free(it);
        return map;
    }
    default:
        return {};
    }
}

bool readPlist(QIODevice& device, QSettings::SettingsMap& map) {
    const QByteArray bytes = device.readAll();
    if (bytes.trimmed().isEmpty())
        return true; // a new, empty file
    bool ok = false;
    const QVariant root = plistToVariant(bytes, &ok);
    if (!ok || root.typeId() != QMetaType::QVariantMap)
        return false;
    const QVariantMap dict = root.toMap();
    for (auto it = dict.cbegin(); it != dict.cend(); ++it)
        map.insert(it.key(), it.value());
    return true;
}

bool writePlist(QIODevice& device, const QSettings::SettingsMap& map) {
    QVariantMap dict;
    for (auto it = map.cbegin(); it != map.cend(); ++it)
        dict.insert(it.key(), it.value());
    const QByteArray xml = variantToPlistXml(dict);
    return !xml.isEmpty() && device.write(xml) == xml.size();
}

} // namespace

QByteArray variantToPlistXml(const QVariant& value) {
    plist_t root = toPlist(value);
    char* xml = nullptr;
    uint32_t length = 0;
    plist_to_xml(root, &xml, &length);
    QByteArray out(xml ? xml : "", static_cast<qsizetype>(length));
    std::free(xml);
    plist_free(root);
    return out;
}

QVariant plistToVariant(const QByteArray& bytes, bool* ok) {
    plist_t root = nullptr;
    if (bytes.size() > 0 && static_cast<quint64>(bytes.size()) <= std::numeric_limits<uint32_t>::max()) {
        const auto length = static_cast<uint32_t>(bytes.size());
        if (plist_is_binary(bytes.constData(), length)) {
            if (!isUnsafeBinaryPlist(bytes))
                plist_from_bin(bytes.constData(), length, &root);
        } else {
            plist_from_xml(bytes.constData(), length, &root);
        }
    }
    if (ok)
        *ok = root != nullptr;
    if (!root)
        return {};
    QVariant result = fromPlist(root);
    plist_free(root);
    return result;
}

QSettings::Format plistSettingsFormat() {
    static const QSettings::Format format = QSettings::registerFormat("plist", readPlist, writePlist);
    return format;
}

} // namespace quorvex
