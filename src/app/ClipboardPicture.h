#pragma once
// The picture on the clipboard, as Paste takes it.
#include "Bitmap.h"

class QMimeData;

// Throws EInvalidGraphic when the clipboard holds no picture, EPictureTooLarge when it holds
// one past the size bound; the size is read from the encoded data before decoding it.
Bitmap ClipboardPicture(const QMimeData* data);
