#include "Rtf.h"

#include "private/Writer.h"

namespace rtf {

QByteArray write(const QTextDocument& doc) {
    return detail::Writer(doc).run();
}

} // namespace rtf
