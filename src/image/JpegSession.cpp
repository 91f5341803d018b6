#include "image/JpegSession.h"

#include <jerror.h>

#include "common/Errors.h"

namespace {
const char* const LargestJpegMessage = "A JPEG file cannot be wider or higher than 65500 pixels.";
static_assert(JPEG_MAX_DIMENSION == 65500L, "the message names libjpeg's limit");

// Warnings ("Corrupt JPEG data ...") are not fatal, and a desktop program has nowhere to
// print them.
void DiscardMessage(j_common_ptr) {}
}  // namespace

void InstallErrorManager(ErrorManager& err) {
    jpeg_std_error(&err.pub);
    err.pub.error_exit = JumpToHandler;
    err.pub.output_message = DiscardMessage;
}

void ThrowJpegError(int code) {
    if (code == JERR_IMAGE_TOO_BIG) throw EJpegError(code, LargestJpegMessage);
    throw EJpegError(code);
}
