#pragma once

#include <QColor>
#include <QImage>
#include <QRectF>
#include <QSizeF>
#include <QVariant>

#include <nlohmann/json.hpp>

#include <filesystem>
#include <optional>
#include <vector>

namespace quorvex::test {

/// Device chrome and device types made at test time: PDF pieces drawn with QPdfWriter (plain
/// coloured shapes), chrome.json, and XML property lists. The chrome root is pointed at its own
/// folder for the life of the object (QUORVEX_DEVICEKIT_CHROME).
class ChromeFixture final {
public:
    explicit ChromeFixture(const std::filesystem::path& folder);
    ~ChromeFixture();
    ChromeFixture(const ChromeFixture&) = delete;
    ChromeFixture& operator=(const ChromeFixture&) = delete;

    /// One PDF piece: a page of `size` points filled with `fill` (transparent elsewhere), or, with
    /// a corner radius, a rounded rectangle over the whole page.
    struct Piece {
        std::string name;
        QSizeF size;
        QColor fill;
        double cornerRadius = 0;
    };

    /// Writes <root>/<name>.devicechrome with chrome.json and the pieces; returns the bundle.
    std::filesystem::path addChrome(const std::string& name, const nlohmann::json& chromeJson,
                                    const std::vector<Piece>& pieces);
    /// Writes a device-type bundle under the fixture folder with capabilities.plist (the given
    /// displays), an optional profile.plist and optional PDF pieces (masks); returns the bundle.
    std::filesystem::path addDeviceType(const std::string& name, const QVariantList& displays,
                                        const std::optional<QVariantMap>& profile = std::nullopt,
                                        const std::vector<Piece>& pieces = {});

    /// A phone device type whose 300 x 600-pixel display "Phone" sits in a chrome 10 points wide
    /// on every side, so a framed screenshot at 3x is 360 x 660 pixels. Returns its bundle.
    std::filesystem::path addFramedPhone();

    const std::filesystem::path& root() const { return m_root; }

    static void writePdf(const std::filesystem::path& file, const Piece& piece);
    /// An XML property list of maps, lists, texts, integers, reals and Booleans.
    static QByteArray xmlPropertyList(const QVariant& value);
    /// A display object as capabilities.plist lists it.
    static QVariantMap display(const QString& name, int width, int height, const QString& chrome = {},
                               const QString& mask = {});
    /// A picture of one colour, written as PNG to `file`.
    static void writePng(const std::filesystem::path& file, QSize size, QColor colour);

private:
    std::filesystem::path m_folder;
    std::filesystem::path m_root;
    std::optional<QByteArray> m_previousRoot;
};

} // namespace quorvex::test
