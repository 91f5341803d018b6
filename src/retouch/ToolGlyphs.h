#pragma once
// The retouch window's tool pictures (16 x 16), drawn in code.
#include <QPixmap>

enum class ToolGlyph { Eyedropper, Airbrush, Lighten, Darken };

QPixmap ToolPicture(ToolGlyph glyph);
