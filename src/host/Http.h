#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

// One synchronous plain GET of a small text. Any failure (no connection, unknown host, time-out, error
// status, a body too long) gives no body.
class Http {
public:
    virtual ~Http() = default;
    virtual std::optional<QByteArray> get(const QString& address) = 0;
};
