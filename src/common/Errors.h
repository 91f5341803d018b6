#pragma once
// The program's errors. Core code throws them; the window catches them in one place and
// shows the message in the error box, the batch tool prints it.
#include <stdexcept>
#include <string>

// Base of every error the program reports to the user.
class ECorvalux : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A picture (file, packed DIB or clipboard data) that cannot be decoded.
class EInvalidGraphic : public ECorvalux {
public:
    EInvalidGraphic() : ECorvalux("Bitmap image is not valid") {}

    // A picture refused for a reason the message gives.
    explicit EInvalidGraphic(const std::string& message) : ECorvalux(message) {}
};

// A picture past the program's size bound, refused before anything is allocated for it.
class EPictureTooLarge : public EInvalidGraphic {
public:
    EPictureTooLarge(long long width, long long height)
        : EInvalidGraphic("The picture is too large: " + std::to_string(width) + " \u00D7 " + std::to_string(height) +
                          " pixels.") {}

protected:
    explicit EPictureTooLarge(const std::string& message) : EInvalidGraphic(message) {}
};

// A picture within the size bound that would not fit in the memory the system has free;
// refused before anything is allocated for it, like one past the bound.
class ENotEnoughMemory : public EPictureTooLarge {
public:
    ENotEnoughMemory(long long width, long long height)
        : EPictureTooLarge("There is not enough free memory for a " + std::to_string(width) + " \u00D7 " +
                           std::to_string(height) + " picture.") {}
};

// A PNG or TIFF file that its library refuses; the message says why.
class EPictureFileInvalid : public EInvalidGraphic {
public:
    explicit EPictureFileInvalid(const std::string& message) : EInvalidGraphic(message) {}
};

// A fatal error from libjpeg; Code is libjpeg's message code. The errors a user can act on
// carry a message in words instead of the number.
class EJpegError : public ECorvalux {
public:
    explicit EJpegError(int code) : ECorvalux("JPEG error #" + std::to_string(code)), Code(code) {}
    EJpegError(int code, const std::string& message) : ECorvalux(message), Code(code) {}
    int Code;
};

// A file that cannot be read or written; the message is the system's.
class EFileError : public ECorvalux {
public:
    using ECorvalux::ECorvalux;
};

// Arithmetic faults that the original floating unit trapped; we test and throw instead.
class EMathError : public ECorvalux {
public:
    using ECorvalux::ECorvalux;
};
class EZeroDivide : public EMathError {
public:
    EZeroDivide() : EMathError("Floating point division by zero") {}
};
class EInvalidOp : public EMathError {
public:
    EInvalidOp() : EMathError("Invalid floating point operation") {}
};
class EOverflow : public EMathError {
public:
    EOverflow() : EMathError("Floating point overflow") {}
};
