#pragma once

#include "Model.h"

#include <QByteArray>
#include <QVariant>

namespace rtf::detail {

// The RTF of the groups between `begin` and `end` as it is kept and written back: the same control words,
// groups and text, 7-bit, with \binN data turned into the hexadecimal digits that mean the same, line ends
// where lines grow long, and the groups a cut-off file leaves open closed. `inPicture`: the bytes begin
// inside a picture's group, after its \pict.
QByteArray keptGroupText(const char* begin, const char* end, bool inPicture = false);

// What the document shows for a picture: its data to be decoded when first shown, a decoded image when the
// data at full size is more than Qt's image reader allocates, or a framed box of the picture's size when the
// data cannot be shown.
QVariant shownPicture(const Picture& picture);

} // namespace rtf::detail
