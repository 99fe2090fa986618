#pragma once

#include "platform/gui/Clipboard.h"

namespace quorvex {

/// The clipboard of Qt's platform plugin. On the offscreen and minimal plugins there is no
/// clipboard shared with other programs, so it reports that it cannot write.
class QtClipboard final : public Clipboard {
public:
    bool canWrite() const override;
    void setPng(const QByteArray& png) override;
    void setImage(const QImage& image) override;
};

} // namespace quorvex
