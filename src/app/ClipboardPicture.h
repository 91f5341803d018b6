#pragma once
// The picture on the clipboard, as Paste takes it.
#include <functional>

#include "image/Bitmap.h"
#include "image/Progress.h"

class QMimeData;

// Runs one decoding step; Paste runs it on a worker with the progress dialog, so that a large
// picture does not freeze the window.
using TDecodeRunner = std::function<void(const std::function<void(const ProgressCallback&)>& decode)>;

// Takes each form of the picture the clipboard offers, best first, on the calling (window)
// thread, and decodes it through `run` until one decodes: PNG, then bitmaps, then other
// encoded forms through our own decoders where we have them, and last the picture Qt decoded
// itself (the only form of a copy made inside this program). Transparency is composited over
// white, as when a file is opened. Throws EInvalidGraphic when no form holds a picture,
// EPictureTooLarge when one holds a picture past the size bound; the size is read from the
// encoded data before decoding it.
Bitmap ClipboardPicture(const QMimeData* data, const TDecodeRunner& run = {});
