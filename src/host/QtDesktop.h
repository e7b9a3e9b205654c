#pragma once

#include "host/Desktop.h"

class QtDesktop final : public Desktop {
public:
    QImage grabScreen() override;
    void clearClipboard() override;
    void setClipboardImage(const QImage& image) override;
    QImage clipboardImage() const override;
    void beep() override;
    QDateTime now() const override;
};
