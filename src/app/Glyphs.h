#pragma once
// The menu's 13 glyphs (16 x 16) and the program's own picture, drawn in code.
#include <QIcon>

constexpr int MenuGlyphCount = 13;

// 0 open, 1 save as, 2 print, 3 exit, 4 undo, 5 copy, 6 paste, 7 statistics, 8 zoom,
// 9 webcam, 10 scanner, 11 about, 12 retouch.
QIcon MenuGlyph(int index);

// The program's icon: a small landscape photograph.
QIcon ProgramGlyph();
