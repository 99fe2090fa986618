#include "actions/SampleMedia.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QImage>
#include <QImageReader>

extern "C" {
#include <libavformat/avformat.h>
}

#include <chrono>
#include <fstream>
#include <future>
#include <iterator>
#include <set>

using namespace quorvex;
namespace fs = std::filesystem;

namespace {

const std::vector<std::string> kNames = {
    "Sample Landscape.jpg",   "Sample Portrait.jpg", "Sample Square.jpg",   "Sample Panorama.jpg",
    "Sample Transparent.png", "Sample Video.mp4",    "Sample Contacts.vcf",
};

std::string readAll(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::set<std::string> folderEntries() {
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(SampleMedia::folder()))
        names.insert(entry.path().filename().string());
    return names;
}

// Puts every sample file's modification time an hour back, so a rewrite shows.
void ageFiles() {
    const auto past = fs::file_time_type::clock::now() - std::chrono::hours(1);
    for (const std::string& name : kNames)
        fs::last_write_time(SampleMedia::folder() / name, past);
}

bool isAged(const std::string& name) {
    return fs::last_write_time(SampleMedia::folder() / name) <
           fs::file_time_type::clock::now() - std::chrono::minutes(30);
}

} // namespace

TEST(SampleMediaTest, FirstRunMakesTheSevenFilesInTheirOrderAndNothingElse) {
    const auto files = SampleMedia::ensureFiles();
    ASSERT_EQ(files.size(), kNames.size());
    for (size_t i = 0; i < files.size(); ++i) {
        EXPECT_EQ(files[i], SampleMedia::folder() / kNames[i]);
        EXPECT_GT(fs::file_size(files[i]), 0u) << kNames[i];
    }
    EXPECT_EQ(readAll(SampleMedia::folder() / ".version"), "3");
    // No temporary file is left behind.
    std::set<std::string> expected(kNames.begin(), kNames.end());
    expected.insert(".version");
    EXPECT_EQ(folderEntries(), expected);

    struct Picture {
        const char* name;
        QSize size;
        QByteArray format;
    };
    const Picture pictures[] = {
        {"Sample Landscape.jpg", {4032, 3024}, "jpeg"},  {"Sample Portrait.jpg", {1170, 2532}, "jpeg"},
        {"Sample Square.jpg", {2048, 2048}, "jpeg"},     {"Sample Panorama.jpg", {8000, 2000}, "jpeg"},
        {"Sample Transparent.png", {1024, 1024}, "png"},
    };
    for (const Picture& picture : pictures) {
        SCOPED_TRACE(picture.name);
        QImageReader reader(QString::fromStdString((SampleMedia::folder() / picture.name).string()));
        EXPECT_EQ(reader.format(), picture.format);
        EXPECT_EQ(reader.size(), picture.size);
    }
}

TEST(SampleMediaTest, ContactsFileHoldsTheSevenCardsByteForByte) {
    const std::vector<std::string> lines = {
        "BEGIN:VCARD",
        "VERSION:3.0",
        "N:Thompson;Maya;;;",
        "FN:Maya Thompson",
        "EMAIL;TYPE=INTERNET:maya.thompson@example.com",
        "TEL;TYPE=CELL:+1 555 0101",
        "END:VCARD",
        "BEGIN:VCARD",
        "VERSION:3.0",
        "N:Martínez;Javier;;;",
        "FN:Javier Martínez",
        "ORG:Solana Estudio",
        "EMAIL;TYPE=INTERNET:javier.martinez@example.es",
        "TEL;TYPE=CELL:+34 555 0102",
        "TEL;TYPE=WORK:+34 555 0199",
        "END:VCARD",
        "BEGIN:VCARD",
        "VERSION:3.0",
        "N:Watanabe;Kenji;;;",
        "FN:Kenji Watanabe",
        "TEL;TYPE=CELL:+81 555 0103",
        "END:VCARD",
        "BEGIN:VCARD",
        "VERSION:3.0",
        "N:Müller-Schmidt;Anna;;;",
        "FN:Anna Müller-Schmidt",
        "ORG:Brückner Werke GmbH",
        "EMAIL;TYPE=INTERNET:anna.mueller@example.de",
        "TEL;TYPE=CELL:+49 555 0104",
        "END:VCARD",
        "BEGIN:VCARD",
        "VERSION:3.0",
        "N:O'Brien;Zoë;;;",
        "FN:Zoë O'Brien",
        "EMAIL;TYPE=INTERNET:zoe.obrien@example.ie",
        "TEL;TYPE=CELL:+353 555 0105",
        "END:VCARD",
        "BEGIN:VCARD",
        "VERSION:3.0",
        "N:Worthington-Featherstonehaugh;Maximiliana-Evangeline;;;",
        "FN:Maximiliana-Evangeline Worthington-Featherstonehaugh",
        "EMAIL;TYPE=INTERNET:max.worthington@example.co.uk",
        "TEL;TYPE=CELL:+44 555 0106",
        "END:VCARD",
        // No name: the formatted name is the organisation.
        "BEGIN:VCARD",
        "VERSION:3.0",
        "N:;;;;",
        "FN:Brightleaf Support",
        "ORG:Brightleaf Support",
        "EMAIL;TYPE=INTERNET:support@brightleaf.example",
        "TEL;TYPE=CELL:+1 555 0107",
        "END:VCARD",
    };
    std::string expected;
    for (const std::string& line : lines)
        expected += line + "\r\n";

    SampleMedia::ensureFiles();
    EXPECT_EQ(readAll(SampleMedia::folder() / "Sample Contacts.vcf"), expected);
}

TEST(SampleMediaTest, VersionMarkerWithALineEndEmptiesTheFolderAndRegeneratesEverything) {
    SampleMedia::ensureFiles();
    ageFiles();
    const fs::path folder = SampleMedia::folder();
    std::ofstream(folder / ".version") << "3\n";
    std::ofstream(folder / ".partial-0F6E.mp4") << "left by a crash";
    std::ofstream(folder / "notes.txt") << "stray";

    SampleMedia::ensureFiles();
    EXPECT_EQ(readAll(folder / ".version"), "3");
    EXPECT_FALSE(fs::exists(folder / ".partial-0F6E.mp4"));
    EXPECT_FALSE(fs::exists(folder / "notes.txt"));
    for (const std::string& name : kNames)
        EXPECT_FALSE(isAged(name)) << name;
}

TEST(SampleMediaTest, MissingPictureIsRegeneratedAloneAndAStrayFileStaysWhileTheVersionHolds) {
    SampleMedia::ensureFiles();
    ageFiles();
    const fs::path folder = SampleMedia::folder();
    fs::remove(folder / "Sample Square.jpg");
    std::ofstream(folder / ".partial-0F6E.mp4") << "left by a crash";

    SampleMedia::ensureFiles();
    EXPECT_TRUE(fs::exists(folder / ".partial-0F6E.mp4"));
    for (const std::string& name : kNames)
        EXPECT_EQ(isAged(name), name != "Sample Square.jpg") << name;
}

TEST(SampleMediaTest, TransparentPictureIsClearOutsideItsOval) {
    SampleMedia::ensureFiles();
    const QImage image(QString::fromStdString((SampleMedia::folder() / "Sample Transparent.png").string()));
    ASSERT_FALSE(image.isNull());
    ASSERT_TRUE(image.hasAlphaChannel());
    for (const QPoint corner :
         {QPoint(0, 0), QPoint(1023, 0), QPoint(0, 1023), QPoint(1023, 1023), QPoint(160, 160)})
        EXPECT_EQ(qAlpha(image.pixel(corner)), 0) << corner.x() << "," << corner.y();
    // Inside the oval, off the label: solid indigo.
    const QRgb inside = image.pixel(512, 200);
    EXPECT_EQ(qAlpha(inside), 255);
    EXPECT_GT(qBlue(inside), qGreen(inside));
}

TEST(SampleMediaTest, VideoIsThreeSecondsOfH264At1280By720) {
    SampleMedia::ensureFiles();
    const std::string path = (SampleMedia::folder() / "Sample Video.mp4").string();
    AVFormatContext* format = nullptr;
    ASSERT_EQ(avformat_open_input(&format, path.c_str(), nullptr, nullptr), 0);
    ASSERT_GE(avformat_find_stream_info(format, nullptr), 0);
    EXPECT_STREQ(format->iformat->name, "mov,mp4,m4a,3gp,3g2,mj2");
    ASSERT_EQ(format->nb_streams, 1u);
    const AVStream* stream = format->streams[0];
    EXPECT_EQ(stream->codecpar->codec_id, AV_CODEC_ID_H264);
    EXPECT_EQ(stream->codecpar->width, 1280);
    EXPECT_EQ(stream->codecpar->height, 720);
    EXPECT_EQ(av_q2d(stream->r_frame_rate), 30.0);

    int frames = 0;
    AVPacket* packet = av_packet_alloc();
    while (av_read_frame(format, packet) >= 0) {
        ++frames;
        av_packet_unref(packet);
    }
    av_packet_free(&packet);
    EXPECT_EQ(frames, 90);
    EXPECT_NEAR(static_cast<double>(format->duration) / AV_TIME_BASE, 3.0, 0.05);
    avformat_close_input(&format);
}

TEST(SampleMediaTest, ConcurrentCallsBothSucceedWithTheWholeSet) {
    // A stale marker makes each call want to empty the folder; the lock keeps them apart.
    fs::create_directories(SampleMedia::folder());
    std::ofstream(SampleMedia::folder() / ".version") << "2";
    auto first = std::async(std::launch::async, [] { return SampleMedia::ensureFiles(); });
    auto second = std::async(std::launch::async, [] { return SampleMedia::ensureFiles(); });
    EXPECT_EQ(first.get().size(), 7u);
    EXPECT_EQ(second.get().size(), 7u);
    for (const std::string& name : kNames)
        EXPECT_GT(fs::file_size(SampleMedia::folder() / name), 0u) << name;
}

TEST(SampleMediaTest, VideoLogoIsBundledWithTheProgram) {
    // Without it the clip silently shows a white square instead.
    EXPECT_TRUE(QFile::exists(QStringLiteral(":/images/AppLogo.svg")));
}
