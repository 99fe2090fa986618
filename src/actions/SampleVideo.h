#pragma once

#include <QImage>

#include <filesystem>

namespace quorvex {

/// Writes the 3-second sample clip (1280 x 720, 30 frames per second, H.264 in MPEG-4) to
/// `file`: a background fading from blue towards green with `logo` (a white square when null)
/// crossing it on a sine wave, and the frame number. Throws SampleMediaError; a failed write may
/// leave `file` incomplete, so write to a temporary name.
void writeSampleVideo(const std::filesystem::path& file, const QImage& logo);

} // namespace quorvex
