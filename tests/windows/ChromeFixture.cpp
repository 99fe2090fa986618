#include "windows/ChromeFixture.h"

#include <QFile>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>

#include <fstream>

namespace quorvex::test {

namespace {

QString fromPath(const std::filesystem::path& path) {
    return QFile::decodeName(QByteArray::fromStdString(path.string()));
}

void writeBytes(const std::filesystem::path& file, const QByteArray& bytes) {
    std::filesystem::create_directories(file.parent_path());
    std::ofstream out(file, std::ios::binary);
    out.write(bytes.constData(), bytes.size());
}

QString escaped(const QString& text) {
    return text.toHtmlEscaped();
}

void appendValue(QString& out, const QVariant& value) {
    switch (value.typeId()) {
    case QMetaType::QVariantMap: {
        out += QStringLiteral("<dict>");
        const QVariantMap map = value.toMap();
        for (auto it = map.cbegin(); it != map.cend(); ++it) {
            out += QStringLiteral("<key>") + escaped(it.key()) + QStringLiteral("</key>");
            appendValue(out, *it);
        }
        out += QStringLiteral("</dict>");
        break;
    }
    case QMetaType::QVariantList:
        out += QStringLiteral("<array>");
        for (const QVariant& item : value.toList())
            appendValue(out, item);
        out += QStringLiteral("</array>");
        break;
    case QMetaType::Bool:
        out += value.toBool() ? QStringLiteral("<true/>") : QStringLiteral("<false/>");
        break;
    case QMetaType::Int:
    case QMetaType::LongLong:
        out +=
            QStringLiteral("<integer>") + QString::number(value.toLongLong()) + QStringLiteral("</integer>");
        break;
    case QMetaType::Double:
        out += QStringLiteral("<real>") + QString::number(value.toDouble()) + QStringLiteral("</real>");
        break;
    default:
        out += QStringLiteral("<string>") + escaped(value.toString()) + QStringLiteral("</string>");
    }
}

} // namespace

ChromeFixture::ChromeFixture(const std::filesystem::path& folder)
    : m_folder(folder)
    , m_root(folder / "Chrome") {
    std::filesystem::create_directories(m_root);
    if (qEnvironmentVariableIsSet("QUORVEX_DEVICEKIT_CHROME"))
        m_previousRoot = qgetenv("QUORVEX_DEVICEKIT_CHROME");
    qputenv("QUORVEX_DEVICEKIT_CHROME", QByteArray::fromStdString(m_root.string()));
}

ChromeFixture::~ChromeFixture() {
    if (m_previousRoot)
        qputenv("QUORVEX_DEVICEKIT_CHROME", *m_previousRoot);
    else
        qunsetenv("QUORVEX_DEVICEKIT_CHROME");
}

void ChromeFixture::writePdf(const std::filesystem::path& file, const Piece& piece) {
    std::filesystem::create_directories(file.parent_path());
    QPdfWriter writer(fromPath(file));
    writer.setResolution(72); // one unit per point
    writer.setPageSize(QPageSize(piece.size, QPageSize::Point));
    writer.setPageMargins(QMarginsF(0, 0, 0, 0));
    QPainter painter(&writer);
    painter.setPen(Qt::NoPen);
    painter.setBrush(piece.fill);
    const QRectF page(QPointF(0, 0), piece.size);
    if (piece.cornerRadius > 0) {
        painter.setRenderHint(QPainter::Antialiasing);
        painter.drawRoundedRect(page, piece.cornerRadius, piece.cornerRadius);
    } else {
        painter.drawRect(page);
    }
}

QByteArray ChromeFixture::xmlPropertyList(const QVariant& value) {
    QString out = QStringLiteral(
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" "
        "\"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n<plist version=\"1.0\">");
    appendValue(out, value);
    out += QStringLiteral("</plist>\n");
    return out.toUtf8();
}

QVariantMap ChromeFixture::display(const QString& name, int width, int height, const QString& chrome,
                                   const QString& mask) {
    QVariantMap display{
        {"displayType", "integrated"}, {"deviceName", name}, {"width", width}, {"height", height}};
    if (!chrome.isEmpty())
        display.insert(QStringLiteral("chromeIdentifier"), chrome);
    if (!mask.isEmpty())
        display.insert(QStringLiteral("framebufferMaskIdentifier"), mask);
    return display;
}

void ChromeFixture::writePng(const std::filesystem::path& file, QSize size, QColor colour) {
    QImage image(size, QImage::Format_ARGB32);
    image.fill(colour);
    std::filesystem::create_directories(file.parent_path());
    image.save(fromPath(file), "PNG");
}

std::filesystem::path ChromeFixture::addChrome(const std::string& name, const nlohmann::json& chromeJson,
                                               const std::vector<Piece>& pieces) {
    const std::filesystem::path bundle = m_root / (name + ".devicechrome");
    const std::filesystem::path resources = bundle / "Contents" / "Resources";
    writeBytes(resources / "chrome.json", QByteArray::fromStdString(chromeJson.dump(2)));
    for (const Piece& piece : pieces)
        writePdf(resources / (piece.name + ".pdf"), piece);
    return bundle;
}

std::filesystem::path ChromeFixture::addDeviceType(const std::string& name, const QVariantList& displays,
                                                   const std::optional<QVariantMap>& profile,
                                                   const std::vector<Piece>& pieces) {
    const std::filesystem::path bundle = m_folder / "DeviceTypes" / (name + ".simdevicetype");
    const std::filesystem::path resources = bundle / "Contents" / "Resources";
    writeBytes(resources / "capabilities.plist",
               xmlPropertyList(QVariantMap{{"capabilities", QVariantMap{{"displays", displays}}}}));
    if (profile)
        writeBytes(resources / "profile.plist", xmlPropertyList(*profile));
    for (const Piece& piece : pieces)
        writePdf(resources / (piece.name + ".pdf"), piece);
    return bundle;
}

std::filesystem::path ChromeFixture::addFramedPhone() {
    addChrome(
        "phone",
        nlohmann::json{
            {"images",
             {{"sizing", {{"leftWidth", 10}, {"rightWidth", 10}, {"topHeight", 10}, {"bottomHeight", 10}}},
              {"composite", "body"}}}},
        {{"body", {50, 50}, Qt::darkGray}});
    return addDeviceType("Phone", {display("Phone", 300, 600, "x.phone")});
}

} // namespace quorvex::test
