#pragma once

#include "host/Http.h"

// The HTTP transfer over QNetworkAccessManager.
class QtHttp final : public Http {
public:
    std::optional<QByteArray> get(const QString& address) override;
};
