#pragma once
// The picture a C decoder (libjpeg, libpng) writes its rows into. Its size comes from the
// file's header inside the decoder's run, and no exception may cross the C library: a refusal
// is kept and rethrown once the decoder has returned.
#include <cstdint>
#include <exception>

#include "image/Bitmap.h"

// Sizes `picture` as the header declares and gives its first row. A size past the picture
// bound or the available memory (CheckPictureSize) is kept in `failure` and gives nullptr, as
// does a failure kept earlier in the same run.
inline std::uint8_t* SizeForDecoder(Bitmap& picture, std::exception_ptr& failure, std::int64_t width,
                                    std::int64_t height) noexcept {
    if (failure) return nullptr;
    try {
        CheckPictureSize(width, height);
        picture.SetSize(int(width), int(height));
        return picture.Row(0);
    } catch (...) {
        failure = std::current_exception();
        return nullptr;
    }
}
