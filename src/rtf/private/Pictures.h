#pragma once

#include "Model.h"

#include <QByteArray>
#include <QVariant>

namespace rtf::detail {

// What the document shows for a picture: its data to be decoded when first shown, a decoded image when the
// data at full size is more than Qt's image reader allocates, or a framed box of the picture's size when the
// data cannot be shown.
QVariant shownPicture(const Picture& picture);

} // namespace rtf::detail
