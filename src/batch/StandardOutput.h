#pragma once
// Standard output for corvalux-batch: a stream buffer over a file descriptor that keeps the
// system's error of a failed write, which std::cout forgets, so the tool can report it; and
// a picture's own buffer in a many-picture run, written out whole on each flush.
#include <mutex>
#include <sstream>
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

// One picture's reports among several pictures' at once: kept until a flush, which writes
// them to the shared stream in one piece under the lock, so reports never interleave.
class TSharedOutputBuffer : public std::stringbuf {
public:
    TSharedOutputBuffer(std::ostream& shared, std::mutex& lock) : shared_(shared), lock_(lock) {}
    // The error number of the shared stream's failed write, or 0.
    int Error() const { return error_; }

protected:
    int sync() override;

private:
    std::ostream& shared_;
    std::mutex& lock_;
    int error_ = 0;
};

// Flushes `out` and throws when it could not be written (a full disk, a closed pipe), with the
// system's message where it is known: a report lost silently looks like a report made.
void CheckWritten(std::ostream& out);
