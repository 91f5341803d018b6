#pragma once
// Standard output for corvalux-batch: a stream buffer over a file descriptor that keeps the
// system's error of a failed write, which std::cout forgets, so the tool can report it.
#include <streambuf>

class TFileOutputBuffer : public std::streambuf {
public:
    explicit TFileOutputBuffer(int fd);
    ~TFileOutputBuffer() override;
    TFileOutputBuffer(const TFileOutputBuffer&) = delete;
    TFileOutputBuffer& operator=(const TFileOutputBuffer&) = delete;
    // The error number of the first write that failed, or 0.
    int Error() const { return error_; }

protected:
    int_type overflow(int_type c) override;
    int sync() override;

private:
    bool WriteOut();
    int fd_;
    int error_ = 0;
    char buffer_[1 << 16];
};
