// Owns one file descriptor and closes it when it goes, also when a constructor throws
// half-way.
#pragma once

#include <unistd.h>
#include <utility>

namespace platform::linux_backend {

class TUniqueFd {
public:
    TUniqueFd() = default;
    explicit TUniqueFd(int fd) : fd_(fd) {}
    ~TUniqueFd() { Reset(); }
    TUniqueFd(TUniqueFd&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
    TUniqueFd& operator=(TUniqueFd&& other) noexcept {
        if (this != &other) {
            Reset(std::exchange(other.fd_, -1));
        }
        return *this;
    }
    TUniqueFd(const TUniqueFd&) = delete;
    TUniqueFd& operator=(const TUniqueFd&) = delete;

    int Get() const { return fd_; }
    explicit operator bool() const { return fd_ >= 0; }

    void Reset(int fd = -1) {
        if (fd_ >= 0) {
            close(fd_);
        }
        fd_ = fd;
    }

private:
    int fd_ = -1;
};

} // namespace platform::linux_backend
