#pragma once

#include "platform/gui/Clipboard.h"

#include <QByteArray>
#include <QImage>

namespace quorvex::test {

/// A Clipboard that keeps what was written, for tests to read back.
class FakeClipboard final : public Clipboard {
public:
    bool canWrite() const override { return m_canWrite; }
    void setPng(const QByteArray& png) override {
        if (!m_canWrite)
            return;
        m_png = png;
        m_image = QImage::fromData(png, "PNG");
        ++m_writes;
    }
    void setImage(const QImage& image) override {
        if (!m_canWrite)
            return;
        m_png.clear();
        m_image = image;
        ++m_writes;
    }

    void setCanWrite(bool canWrite) { m_canWrite = canWrite; }
    const QByteArray& png() const { return m_png; }
    const QImage& image() const { return m_image; }
    int writes() const { return m_writes; }

private:
    bool m_canWrite = true;
    QByteArray m_png;
    QImage m_image;
    int m_writes = 0;
};

} // namespace quorvex::test
