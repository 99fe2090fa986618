#pragma once

#include <QByteArray>
#include <QImage>

namespace quorvex {

/// Puts pictures on the system clipboard. GUI thread.
class Clipboard {
public:
    virtual ~Clipboard() = default;
    /// False when there is no clipboard to write to (no display, or a platform without one);
    /// the writes below then do nothing.
    virtual bool canWrite() const = 0;
    /// Replaces the clipboard's contents with PNG data, offered as "image/png" and as an image.
    virtual void setPng(const QByteArray& png) = 0;
    /// Replaces the clipboard's contents with an image.
    virtual void setImage(const QImage& image) = 0;
    /// The system clipboard, created on first use and never released.
    static Clipboard& system();
};

} // namespace quorvex
