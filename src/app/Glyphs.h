#pragma once
// The menu's glyphs (16 x 16) and the program's own picture, drawn in code.
#include <QIcon>

enum class Glyph {
    None,
    Open,
    SaveAs,
    Print,
    Exit,
    Undo,
    Copy,
    Paste,
    Statistics,
    Zoom,
    Webcam,
    Scanner,
    About,
    Retouch
};

// An empty icon for Glyph::None.
QIcon MenuGlyph(Glyph glyph);

// The program's icon: a small landscape photograph.
QIcon ProgramGlyph();
