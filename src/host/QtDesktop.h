#pragma once

#include "host/Desktop.h"

#include <QMimeData>
#include <QPointer>

class QtDesktop final : public Desktop {
public:
    QtDesktop() = default;
    ~QtDesktop() override;
    QtDesktop(const QtDesktop&) = delete;
    QtDesktop& operator=(const QtDesktop&) = delete;

    QImage grabScreen() override;
    void clearClipboard() override;
    void setClipboardImage(const QImage& image) override;
    QImage clipboardImage() const override;
    void beep() override;
    QDateTime now() const override;
    void flushPointerChange() override;

private:
    void deleteReplaced();

    // What the program last put on the clipboard; null once the clipboard has deleted it.
    QPointer<QMimeData> m_given;
};
