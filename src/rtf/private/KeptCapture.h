#pragma once

// Raw RTF that the reader keeps, to write it back as it came (Kept.h): side text (headers, footers, notes,
// comments, text boxes), pictures, shapes and objects, and fields' instructions. All of it is captured from
// the source bytes one way: a brace or backslash that was read as the trail byte of a raw double-byte
// character is written as \'hh, so that it reads back as that character and not as a group's edge or a
// control word. Pictures, shapes and objects are then put in the writer's 7-bit form.

#include "GroupState.h"

#include <QByteArray>

#include <optional>
#include <vector>

namespace rtf::detail {

class KeptCapture {
public:
    // A brace or backslash at `at` was read as the trail byte of a raw double-byte character; called in
    // source order.
    void structuralTrail(const char* at) { m_trails.push_back(at); }

    // The source bytes from `begin` to `end` as kept RTF.
    QByteArray capture(const char* begin, const char* end) const;
    // A side group that ends at `end`, closed when the file ended inside it (`atEnd`); nullopt when where a
    // group cut off by the end of the file ends cannot be told (inside \binN data).
    std::optional<QByteArray> side(const KeptStart& start, const char* end, bool atEnd) const;
    // A picture, shape or object group that ends at `end`, in the writer's form, with the \uc it began with.
    QByteArray group(const KeptStart& start, const char* end) const;

private:
    std::vector<const char*> m_trails;
};

} // namespace rtf::detail
