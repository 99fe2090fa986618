#include "actions/SampleVideo.h"

#include "actions/SampleMedia.h"

#include <QFontDatabase>
#include <QPainter>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/imgutils.h>
#include <libavutil/opt.h>
#include <libswscale/swscale.h>
}

#include <cmath>
#include <memory>
#include <mutex>

namespace quorvex {

namespace {

constexpr int kWidth = 1280;
constexpr int kHeight = 720;
constexpr int kFramesPerSecond = 30;
constexpr int kFrames = 90;
constexpr int kLogoSide = 260;

// Owners for the FFmpeg objects, so every early exit frees what was made.
struct FormatDeleter {
    void operator()(AVFormatContext* context) const {
        if (context->pb)
            avio_closep(&context->pb);
        avformat_free_context(context);
    }
};
struct CodecDeleter {
    void operator()(AVCodecContext* context) const { avcodec_free_context(&context); }
};
struct FrameDeleter {
    void operator()(AVFrame* frame) const { av_frame_free(&frame); }
};
struct PacketDeleter {
    void operator()(AVPacket* packet) const { av_packet_free(&packet); }
};
struct ScalerDeleter {
    void operator()(SwsContext* context) const { sws_freeContext(context); }
};

[[noreturn]] void fail(const std::string& what, int code = 0) {
    std::string message = "Couldn’t write the sample video: " + what;
    if (code < 0) {
        char text[AV_ERROR_MAX_STRING_SIZE] = {};
        av_strerror(code, text, sizeof text);
        message += std::string(" (") + text + ")";
    }
    throw SampleMediaError(message);
}

void check(int code, const char* what) {
    if (code < 0)
        fail(what, code);
}

// The encoder's informational lines would otherwise go to the program's standard error.
void quietLibraries() {
    static std::once_flag once;
    std::call_once(once, [] { av_log_set_level(AV_LOG_ERROR); });
}

const AVCodec* h264Encoder() {
    if (const AVCodec* codec = avcodec_find_encoder_by_name("libx264"))
        return codec;
    return avcodec_find_encoder(AV_CODEC_ID_H264);
}

// The logo's soft shadow, drawn once: the logo's shape in 30 % black, blurred by a few box-blur
// passes (close to a Gaussian of the same radius) on a canvas with room for the blur.
QImage shadowOf(const QImage& logo, int blur) {
    const int margin = blur * 2;
    QImage shadow(kLogoSide + 2 * margin, kLogoSide + 2 * margin, QImage::Format_ARGB32_Premultiplied);
    shadow.fill(Qt::transparent);
    {
        QPainter painter(&shadow);
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.drawImage(QRect(margin, margin, kLogoSide, kLogoSide), logo);
        painter.setCompositionMode(QPainter::CompositionMode_SourceIn);
        painter.fillRect(shadow.rect(), QColor(0, 0, 0, 77));
    }
    const int radius = std::max(1, blur / 3);
    const int w = shadow.width();
    const int h = shadow.height();
    std::vector<int> alpha(static_cast<size_t>(w * h));
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            alpha[static_cast<size_t>(y * w + x)] = qAlpha(shadow.pixel(x, y));
    std::vector<int> scratch(alpha.size());
    auto pass = [&](bool horizontal) {
        const int lines = horizontal ? h : w;
        const int length = horizontal ? w : h;
        for (int line = 0; line < lines; ++line) {
            auto at = [&](int i) -> int& {
                const int x = horizontal ? i : line;
                const int y = horizontal ? line : i;
                return alpha[static_cast<size_t>(y * w + x)];
            };
            for (int i = 0; i < length; ++i) {
                int sum = 0;
                for (int k = -radius; k <= radius; ++k)
                    if (i + k >= 0 && i + k < length)
                        sum += at(i + k);
                const int x = horizontal ? i : line;
                const int y = horizontal ? line : i;
                scratch[static_cast<size_t>(y * w + x)] = sum / (2 * radius + 1);
            }
        }
        alpha.swap(scratch);
    };
    for (int round = 0; round < 3; ++round) {
        pass(true);
        pass(false);
    }
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            shadow.setPixel(x, y, qRgba(0, 0, 0, alpha[static_cast<size_t>(y * w + x)]));
    return shadow;
}

// Coordinates follow the original design: origin at the bottom left, y upwards.
void drawFrame(QImage& canvas, int index, const QImage& logo, const QImage& shadow, int shadowMargin) {
    const double t = static_cast<double>(index) / (kFrames - 1);
    QPainter painter(&canvas);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.fillRect(canvas.rect(), QColor::fromHsvF(0.6 - 0.3 * t, 0.7, 0.8));

    const double x = 40 + 940 * t;
    const double y = 230 + 40 * std::sin(2 * M_PI * t);
    const QRectF square(x, kHeight - y - kLogoSide, kLogoSide, kLogoSide);
    if (logo.isNull()) {
        painter.fillRect(square, Qt::white);
    } else {
        // The shadow falls 10 pixels below the logo.
        painter.drawImage(square.topLeft() + QPointF(-shadowMargin, 10 - shadowMargin), shadow);
        painter.drawImage(square, logo);
    }

    QFont font = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
    font.setBold(true);
    font.setPixelSize(48);
    painter.setFont(font);
    painter.setPen(Qt::white);
    painter.drawText(QRectF(60, 0, kWidth - 60, kHeight - 60), Qt::AlignLeft | Qt::AlignBottom,
                     QStringLiteral("Sample Video · frame %1").arg(index + 1));
}

} // namespace

void writeSampleVideo(const std::filesystem::path& file, const QImage& logo) {
    quietLibraries();
    const AVCodec* codec = h264Encoder();
    if (!codec)
        fail("this system’s FFmpeg has no H.264 encoder (install libx264)");

    AVFormatContext* rawFormat = nullptr;
    check(avformat_alloc_output_context2(&rawFormat, nullptr, "mp4", file.c_str()), "no MPEG-4 writer");
    const std::unique_ptr<AVFormatContext, FormatDeleter> format(rawFormat);

    const std::unique_ptr<AVCodecContext, CodecDeleter> encoder(avcodec_alloc_context3(codec));
    if (!encoder)
        fail("out of memory");
    encoder->width = kWidth;
    encoder->height = kHeight;
    encoder->time_base = {1, kFramesPerSecond};
    encoder->framerate = {kFramesPerSecond, 1};
    encoder->pix_fmt = AV_PIX_FMT_YUV420P;
    encoder->gop_size = kFramesPerSecond;
    if (format->oformat->flags & AVFMT_GLOBALHEADER)
        encoder->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    av_opt_set(encoder->priv_data, "preset", "veryfast", 0);
    check(avcodec_open2(encoder.get(), codec, nullptr), "the H.264 encoder did not start");

    AVStream* stream = avformat_new_stream(format.get(), nullptr);
    if (!stream)
        fail("out of memory");
    stream->time_base = encoder->time_base;
    check(avcodec_parameters_from_context(stream->codecpar, encoder.get()), "bad encoder parameters");
    check(avio_open(&format->pb, file.c_str(), AVIO_FLAG_WRITE), "cannot create the file");
    check(avformat_write_header(format.get(), nullptr), "cannot write the file header");

    const std::unique_ptr<AVFrame, FrameDeleter> frame(av_frame_alloc());
    const std::unique_ptr<AVPacket, PacketDeleter> packet(av_packet_alloc());
    if (!frame || !packet)
        fail("out of memory");
    frame->format = encoder->pix_fmt;
    frame->width = kWidth;
    frame->height = kHeight;
    check(av_frame_get_buffer(frame.get(), 0), "out of memory");
    // QImage::Format_RGB32 holds each pixel as 0xffRRGGBB, which is B, G, R, A in memory here.
    const std::unique_ptr<SwsContext, ScalerDeleter> scaler(
        sws_getContext(kWidth, kHeight, AV_PIX_FMT_BGRA, kWidth, kHeight, AV_PIX_FMT_YUV420P, SWS_BICUBIC,
                       nullptr, nullptr, nullptr));
    if (!scaler)
        fail("no colour converter");

    auto drain = [&] {
        for (;;) {
            const int received = avcodec_receive_packet(encoder.get(), packet.get());
            if (received == AVERROR(EAGAIN) || received == AVERROR_EOF)
                return;
            check(received, "encoding failed");
            av_packet_rescale_ts(packet.get(), encoder->time_base, stream->time_base);
            packet->stream_index = stream->index;
            check(av_interleaved_write_frame(format.get(), packet.get()), "cannot write the file");
        }
    };

    constexpr int kShadowBlur = 30;
    const QImage shadow = logo.isNull() ? QImage() : shadowOf(logo, kShadowBlur);
    QImage canvas(kWidth, kHeight, QImage::Format_RGB32);
    for (int index = 0; index < kFrames; ++index) {
        drawFrame(canvas, index, logo, shadow, kShadowBlur * 2);
        check(av_frame_make_writable(frame.get()), "out of memory");
        const uint8_t* source[] = {canvas.constBits()};
        const int stride[] = {static_cast<int>(canvas.bytesPerLine())};
        sws_scale(scaler.get(), source, stride, 0, kHeight, frame->data, frame->linesize);
        frame->pts = index;
        check(avcodec_send_frame(encoder.get(), frame.get()), "encoding failed");
        drain();
    }
    check(avcodec_send_frame(encoder.get(), nullptr), "encoding failed");
    drain();
    check(av_write_trailer(format.get()), "cannot finish the file");
    check(avio_closep(&format->pb), "cannot close the file");
}

} // namespace quorvex
