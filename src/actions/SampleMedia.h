#pragma once

#include <QByteArray>

#include <filesystem>
#include <stdexcept>
#include <vector>

namespace quorvex {

/// Why the sample files could not be made; what() is a sentence for a log or a toast's detail.
class SampleMediaError final : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

/// Seven sample files for a simulator's photo library and contacts (five pictures, one video,
/// one contacts file), generated once into a folder of the application and handed to
/// `simctl addmedia` together.
///
/// ensureFiles blocks for the whole generation (seconds for the video) and must run off the GUI
/// thread. Calls from several threads are serialised by one process-wide lock. Every file is
/// written beside its final name and renamed when complete, so a crash or a full disk never
/// leaves a truncated sample that would then be added to every simulator.
class SampleMedia final {
public:
    /// The set's version: a folder whose ".version" marker holds anything else is emptied and
    /// made afresh.
    static constexpr const char* kVersion = "3";

    /// ~/Library/Application Support/Quorvex/Sample Media (no file-system access).
    static std::filesystem::path folder();

    /// Makes whatever of the current set is missing and returns the seven files: the pictures
    /// (landscape, portrait, square, panorama, transparent PNG), the video, the contacts.
    /// Throws SampleMediaError when a file cannot be made; files made before stay.
    static std::vector<std::filesystem::path> ensureFiles();

    /// The contacts file's content: seven vCard 3.0 cards with CR LF line ends.
    static const QByteArray& contactsText();

private:
    SampleMedia() = delete;
};

} // namespace quorvex
