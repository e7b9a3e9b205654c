#pragma once

#include "host/Http.h"

// The HTTP transfer over QNetworkAccessManager: one plain GET, bounded in time and size so that it never
// holds the start-up for long nor takes in more than a small text. It waits in a local event loop that leaves
// user input alone, uses the application's proxy and no cache, and writes nothing to disk.
class QtHttp final : public Http {
public:
    // The whole exchange (connecting, headers and body together) ends after this long.
    static constexpr int timeLimitMs = 3000;
    // A longer body is a failed fetch; the transfer stops as soon as it goes past this.
    static constexpr qint64 maxBodyBytes = 64 * 1024;
    // Redirects are followed to http and https addresses only, at most this many times.
    static constexpr int maxRedirects = 3;

    // The body of a 2xx answer; nothing on any failure, the limits above included.
    std::optional<QByteArray> get(const QString& address) override;
};
