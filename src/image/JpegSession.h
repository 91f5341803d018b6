#pragma once
// What the JPEG decoder and encoder share: libjpeg's fatal errors caught by a jump, and how a
// run ended.
//
// libjpeg reports a fatal error by calling error_exit, which must not return. Ours jumps back
// to the setjmp in RunDecoder or RunEncoder. Those two functions hold every libjpeg call and
// no C++ object with a destructor, so the jump skips nothing that needs cleaning; they free
// libjpeg's memory on both paths and report the outcome as a value that the C++ side turns
// into an exception. All state the library changes lives in a session struct owned by the
// caller, so nothing is left indeterminate by the jump. A cancel leaves by the same jump.
#include <csetjmp>
#include <cstdio>  // jpeglib.h needs FILE

#include <jpeglib.h>

struct ErrorManager {
    jpeg_error_mgr pub;
    std::jmp_buf escape;
};

[[noreturn]] inline void JumpToHandler(j_common_ptr cinfo) {
    std::longjmp(reinterpret_cast<ErrorManager*>(cinfo->err)->escape, 1);
}

// Points libjpeg's errors at `err`: a fatal one jumps to its `escape`, warnings are dropped.
void InstallErrorManager(ErrorManager& err);

enum class Outcome { Done, LibraryError, Refused, TooManyScans, TooMuchWork };

// libjpeg's fatal errors as exceptions; the ones a user can act on say why in words.
[[noreturn]] void ThrowJpegError(int code);
