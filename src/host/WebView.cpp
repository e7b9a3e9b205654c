#include "host/WebView.h"

#include "base/Twips.h"

bool WebView::setWidthTwips(double twips) {
    if (twips < 0)
        return false;
    resize(twips::toPixels(twips), height());
    return true;
}

bool WebView::setHeightTwips(double twips) {
    if (twips < 0)
        return false;
    resize(width(), twips::toPixels(twips));
    return true;
}

double WebView::widthTwips() const {
    return twips::fromPixels(width());
}

double WebView::heightTwips() const {
    return twips::fromPixels(height());
}
