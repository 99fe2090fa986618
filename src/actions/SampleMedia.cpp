#include "actions/SampleMedia.h"

#include "actions/SampleVideo.h"
#include "tools/Environment.h"
#include "tools/FileGuards.h"
#include "ui/Palette.h"

#include <QBuffer>
#include <QFontDatabase>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QSvgRenderer>
#include <QUuid>

#include <cerrno>
#include <cmath>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <mutex>
#include <unistd.h>

namespace quorvex {
namespace fs = std::filesystem;

namespace {

struct Photo {
    const char* name;
    int width;
    int height;
    QColor first; // transparent: the picture is an oval in `second` on a clear ground
    QColor second;
    const char* label;
};

const std::vector<Photo>& photos() {
    static const std::vector<Photo> list = {
        {"Sample Landscape.jpg", 4032, 3024, Palette::teal(), Palette::blue(), "Landscape 4:3"},
        {"Sample Portrait.jpg", 1170, 2532, Palette::pink(), Palette::purple(), "Portrait"},
        {"Sample Square.jpg", 2048, 2048, Palette::orange(), Palette::red(), "Square"},
        {"Sample Panorama.jpg", 8000, 2000, Palette::green(), Palette::teal(), "Panorama"},
        {"Sample Transparent.png", 1024, 1024, QColor(Qt::transparent), Palette::indigo(), "PNG"},
    };
    return list;
}

constexpr const char* kVideoName = "Sample Video.mp4";
constexpr const char* kContactsName = "Sample Contacts.vcf";
constexpr const char* kVersionName = ".version";

fs::path partialPath(const fs::path& folder, const fs::path& target) {
    return folder / (".partial-" + QUuid::createUuid().toString(QUuid::WithoutBraces).toStdString() +
                     target.extension().string());
}

// Flushes a finished file to the disk, so the rename that publishes it never lands before its data.
bool syncFile(const fs::path& file) {
    const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool synced = ::fsync(fd) == 0;
    ::close(fd);
    return synced;
}

// Writes `data` beside `target` under a hidden temporary name, flushes it and renames it over
// `target`, so readers see either no file or the whole file.
void writeAtomically(const fs::path& target, const QByteArray& data) {
    const fs::path temporary = partialPath(target.parent_path(), target);
    const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0)
        throw SampleMediaError("Couldn’t create " + temporary.string() + ": " + std::strerror(errno));
    int failure = 0;
    for (qsizetype done = 0; done < data.size() && failure == 0;) {
        const ssize_t count = ::write(fd, data.constData() + done, static_cast<size_t>(data.size() - done));
        if (count > 0)
            done += count;
        else if (count < 0 && errno != EINTR)
            failure = errno;
    }
    if (failure == 0 && ::fsync(fd) != 0)
        failure = errno;
    if (::close(fd) != 0 && failure == 0)
        failure = errno;
    if (failure == 0 && ::rename(temporary.c_str(), target.c_str()) != 0)
        failure = errno;
    if (failure != 0) {
        std::error_code ignored;
        fs::remove(temporary, ignored);
        throw SampleMediaError("Couldn’t write " + target.string() + ": " + std::strerror(failure));
    }
}

QFont labelFont(int pixelSize) {
    QFont font = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
    font.setBold(true);
    font.setPixelSize(std::max(1, pixelSize));
    return font;
}

// A gradient at 45 degrees (from the bottom-left towards the top-right) that spans the whole
// rectangle: its ends are where the corners project onto that direction.
QLinearGradient diagonalGradient(const QRectF& rect, const QColor& from, const QColor& to) {
    const double c = std::cos(M_PI / 4);
    const double half = (rect.width() * c + rect.height() * c) / 2;
    const QPointF direction(c, -c); // up and to the right, in y-down coordinates
    QLinearGradient gradient(rect.center() - direction * half, rect.center() + direction * half);
    gradient.setColorAt(0, from);
    gradient.setColorAt(1, to);
    return gradient;
}

QByteArray drawPhoto(const Photo& photo) {
    const bool transparent = photo.first.alpha() == 0;
    QImage image(photo.width, photo.height, transparent ? QImage::Format_ARGB32 : QImage::Format_RGB32);
    if (image.isNull())
        throw SampleMediaError(std::string("Not enough memory to draw ") + photo.name);
    const QRectF full(0, 0, photo.width, photo.height);
    {
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        if (transparent) {
            image.fill(Qt::transparent);
            const double dx = photo.width * 0.15;
            const double dy = photo.height * 0.15;
            painter.setPen(Qt::NoPen);
            painter.setBrush(photo.second);
            painter.drawEllipse(full.adjusted(dx, dy, -dx, -dy));
        } else {
            painter.fillRect(full, diagonalGradient(full, photo.first, photo.second));
        }
        painter.setPen(Qt::white);
        painter.setFont(labelFont(static_cast<int>(0.12 * std::min(photo.width, photo.height))));
        painter.drawText(full, Qt::AlignCenter, QString::fromUtf8(photo.label));
    }
    QByteArray data;
    QBuffer buffer(&data);
    buffer.open(QIODevice::WriteOnly);
    const bool png = fs::path(photo.name).extension() == ".png";
    if (!image.save(&buffer, png ? "PNG" : "JPEG", png ? -1 : 85) || data.isEmpty())
        throw SampleMediaError(std::string("Couldn’t encode ") + photo.name);
    return data;
}

QImage appLogo() {
    QSvgRenderer renderer(QStringLiteral(":/images/AppLogo.svg"));
    if (!renderer.isValid())
        return {};
    QImage logo(512, 512, QImage::Format_ARGB32_Premultiplied);
    logo.fill(Qt::transparent);
    QPainter painter(&logo);
    renderer.render(&painter);
    return logo;
}

struct Contact {
    const char* first;
    const char* last;
    const char* email;
    const char* phone;
    const char* organization;
    const char* workPhone;
};

QByteArray vCard(const Contact& contact) {
    const QString first = QString::fromUtf8(contact.first);
    const QString last = QString::fromUtf8(contact.last);
    const QString organization = QString::fromUtf8(contact.organization);
    QStringList lines{QStringLiteral("BEGIN:VCARD"), QStringLiteral("VERSION:3.0"),
                      QStringLiteral("N:%1;%2;;;").arg(last, first),
                      QStringLiteral("FN:") + (first.isEmpty() ? organization : first + u' ' + last)};
    if (!organization.isEmpty())
        lines << QStringLiteral("ORG:") + organization;
    if (*contact.email)
        lines << QStringLiteral("EMAIL;TYPE=INTERNET:") + QString::fromUtf8(contact.email);
    lines << QStringLiteral("TEL;TYPE=CELL:") + QString::fromUtf8(contact.phone);
    if (*contact.workPhone)
        lines << QStringLiteral("TEL;TYPE=WORK:") + QString::fromUtf8(contact.workPhone);
    lines << QStringLiteral("END:VCARD");
    return lines.join(QStringLiteral("\r\n")).toUtf8();
}

std::mutex& generationLock() {
    static auto* lock = new std::mutex;
    return *lock;
}

bool hasCurrentVersion(const fs::path& folder) {
    std::ifstream in(folder / kVersionName, std::ios::binary);
    if (!in)
        return false;
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    return !in.bad() && text == SampleMedia::kVersion;
}

void emptyFolder(const fs::path& folder) {
    std::error_code error;
    std::vector<fs::path> entries;
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error))
        entries.push_back(it->path());
    for (const fs::path& entry : entries) {
        // The folder lies in ~/Library; the guard keeps a relocated folder from reaching further.
        if (isAllowedCleanupTarget(entry))
            fs::remove_all(entry, error);
    }
}

} // namespace

fs::path SampleMedia::folder() {
    return homeDirectoryURL() / "Library" / "Application Support" / "Quorvex" / "Sample Media";
}

const QByteArray& SampleMedia::contactsText() {
    static const QByteArray text = [] {
        const Contact contacts[] = {
            {"Maya", "Thompson", "maya.thompson@example.com", "+1 555 0101", "", ""},
            {"Javier", "Martínez", "javier.martinez@example.es", "+34 555 0102", "Solana Estudio",
             "+34 555 0199"},
            {"Kenji", "Watanabe", "", "+81 555 0103", "", ""},
            {"Anna", "Müller-Schmidt", "anna.mueller@example.de", "+49 555 0104", "Brückner Werke GmbH", ""},
            {"Zoë", "O'Brien", "zoe.obrien@example.ie", "+353 555 0105", "", ""},
            {"Maximiliana-Evangeline", "Worthington-Featherstonehaugh", "max.worthington@example.co.uk",
             "+44 555 0106", "", ""},
            {"", "", "support@brightleaf.example", "+1 555 0107", "Brightleaf Support", ""},
        };
        QByteArrayList cards;
        for (const Contact& contact : contacts)
            cards << vCard(contact);
        return cards.join("\r\n") + "\r\n";
    }();
    return text;
}

std::vector<fs::path> SampleMedia::ensureFiles() {
    // Without the lock a second call could empty the folder while the first one fills it.
    const std::lock_guard guard(generationLock());
    const fs::path root = folder();
    std::error_code error;
    fs::create_directories(root, error);
    if (error)
        throw SampleMediaError("Couldn’t create " + root.string() + ": " + error.message());

    if (!hasCurrentVersion(root)) {
        emptyFolder(root);
        writeAtomically(root / kVersionName, kVersion);
    }

    std::vector<fs::path> files;
    for (const Photo& photo : photos()) {
        const fs::path file = root / photo.name;
        if (!fs::exists(file, error))
            writeAtomically(file, drawPhoto(photo));
        files.push_back(file);
    }

    const fs::path video = root / kVideoName;
    if (!fs::exists(video, error)) {
        const fs::path partial = partialPath(root, video);
        try {
            writeSampleVideo(partial, appLogo());
            if (!syncFile(partial))
                throw SampleMediaError("Couldn’t write " + video.string() + ": " + std::strerror(errno));
            fs::rename(partial, video);
        } catch (const fs::filesystem_error& failure) {
            fs::remove(partial, error);
            throw SampleMediaError("Couldn’t write " + video.string() + ": " + failure.code().message());
        } catch (...) {
            fs::remove(partial, error);
            throw;
        }
    }
    files.push_back(video);

    const fs::path contacts = root / kContactsName;
    if (!fs::exists(contacts, error))
        writeAtomically(contacts, contactsText());
    files.push_back(contacts);
    return files;
}

} // namespace quorvex
