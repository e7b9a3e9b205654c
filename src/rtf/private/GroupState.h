#pragma once

// What a group of the document inherits from the group around it and loses when it ends, and where its text
// goes.

#include "Model.h"

namespace rtf::detail {

// Where the text of a group goes.
enum class Target : quint8 {
    Main,       // the document body
    Side,       // headers, footers, footnotes, comments and text boxes: kept after the body
    None,       // read but not shown (document information, shape properties)
    FontName,   // \fonttbl
    ColorTable, // \colortbl
    FieldInst,  // \fldinst: a field's instruction
    Title,      // \info\title
    ListText,   // \listtext: a list item's marker, held until its paragraph says whether it is in a list
    Picture,    // \pict: hex picture data
};

// What has to happen when the group that started a destination ends.
enum class OnClose : quint8 {
    Nothing,
    EndSide,
    EndPicture,
    EndShapePicture,
    EndPictureSet, // \object, \shp, a lone \nonshppict: kept whole, shown by the first picture it holds
    EndField,
    EndFontTable,
    EndFieldInstruction
};

// Where the RTF of a group that is kept as it came begins. A side group (EndSide) and a picture, shape or
// object group are kept apart: a picture inside a note is part of the note.
struct KeptStart {
    const char* side = nullptr; // EndSide: where the kept RTF starts (the group, or its mark before it)
    int markLength = 0;         // EndSide: the length of that mark in the body
    // EndSide: the group is kept from its destination word on, because the body shows text from before the
    // word; the kept RTF gets a "{" of its own, and is written after the formatting the group had at the
    // word.
    bool fromWord = false;
    CharProps chr;
    const char* group = nullptr; // where a picture, \shppict or \object group starts in the bytes
    // The destination word of such a group when text came before it in the group, so that the group is kept
    // from the word on; null when the word starts the group and `group` is its "{".
    const char* word = nullptr;
    int uc = 1; // the \uc at the kept group's start, or at its word
};

// The state a group inherits from the group around it and loses when it ends.
struct GroupState {
    CharProps chr;
    ParaProps para;
    int uc = 1;         // fallback characters after \uN
    int field = -1;     // innermost \field, index into Interpreter::m_fields
    int instField = -1; // the field whose instruction this group holds
    Target target = Target::Main;
    Target outerTarget = Target::Main; // the target around an \upr group, for its \ud part
    bool unicodeAlternatives = false;  // inside an \upr group
    OnClose onClose = OnClose::Nothing;
    const char* start = nullptr; // where the group's "{" is in the bytes
    qint64 mainEvents = 0;       // TextOutput::bodyEvents() when the group opened
    bool fontTable = false;      // inside \fonttbl
    bool shapeProperty = false;  // inside \sp: destinations other than a picture are skipped
    // Inside a \shppict or \object: its pictures are candidates for what stands for the whole group.
    bool pictureSet = false;
    KeptStart kept;
};

} // namespace rtf::detail
