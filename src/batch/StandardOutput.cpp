#include "batch/StandardOutput.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <ostream>
#include <stdexcept>
#include <string>

TFileOutputBuffer::TFileOutputBuffer(int fd) : fd_(fd) { setp(buffer_, buffer_ + sizeof buffer_); }

TFileOutputBuffer::~TFileOutputBuffer() { WriteOut(); }

bool TFileOutputBuffer::WriteOut() {
    const char* next = pbase();
    const char* const end = pptr();
    while (error_ == 0 && next < end) {
        const ssize_t n = ::write(fd_, next, std::size_t(end - next));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0)
            error_ = errno;
        else
            next += n;
    }
    setp(buffer_, buffer_ + sizeof buffer_);  // after a failure the rest is dropped
    return error_ == 0;
}

TFileOutputBuffer::int_type TFileOutputBuffer::overflow(int_type c) {
    if (!WriteOut()) return traits_type::eof();
    if (traits_type::eq_int_type(c, traits_type::eof())) return traits_type::not_eof(c);
    *pptr() = traits_type::to_char_type(c);
    pbump(1);
    return c;
}

int TFileOutputBuffer::sync() { return WriteOut() ? 0 : -1; }

namespace {
int WriteError(const std::streambuf* buffer) {
    if (const auto* file = dynamic_cast<const TFileOutputBuffer*>(buffer)) return file->Error();
    if (const auto* shared = dynamic_cast<const TSharedOutputBuffer*>(buffer)) return shared->Error();
    return 0;
}
}  // namespace

int TSharedOutputBuffer::sync() {
    if (str().empty()) return 0;
    const std::lock_guard hold(lock_);
    shared_ << str();
    shared_.flush();
    str("");
    if (shared_) return 0;
    error_ = WriteError(shared_.rdbuf());
    return -1;
}

void CheckWritten(std::ostream& out) {
    out.flush();
    if (out) return;
    const int error = WriteError(out.rdbuf());
    throw std::runtime_error(std::string("cannot write to standard output") +
                             (error ? std::string(": ") + std::strerror(error) : std::string()));
}
