#include "host/QtHttp.h"

// The bounded fetch (time limit, size cap, redirects) is built with the version check.
std::optional<QByteArray> QtHttp::get(const QString& address) {
    Q_UNUSED(address);
    return std::nullopt;
}
