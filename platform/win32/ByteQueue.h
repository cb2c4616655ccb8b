// A byte FIFO over one growable ring buffer: the driver-side input and
// output queues of a serial device. Memory grows with the bytes actually
// queued, not with the nominal queue size given to SetupComm.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <span>
#include <vector>

#include "win32.h"

namespace win32 {

class ByteQueue {
 public:
  std::size_t size() const { return size_; }
  bool empty() const { return size_ == 0; }

  void Push(const BYTE* data, std::size_t n) {
    if (n == 0) return;
    Reserve(size_ + n);
    std::size_t tail = (head_ + size_) % buf_.size();
    std::size_t first = std::min(n, buf_.size() - tail);
    std::memcpy(buf_.data() + tail, data, first);
    std::memcpy(buf_.data(), data + first, n - first);
    size_ += n;
  }

  // Copies up to n bytes from the front into dst and removes them.
  std::size_t Pop(BYTE* dst, std::size_t n) {
    n = std::min(n, size_);
    std::size_t first = std::min(n, buf_.size() - head_);
    if (n != 0) {
      std::memcpy(dst, buf_.data() + head_, first);
      std::memcpy(dst + first, buf_.data(), n - first);
    }
    Drop(n);
    return n;
  }

  // The contiguous bytes at the front (all of them, or up to the wrap).
  std::span<const BYTE> Front() const {
    if (size_ == 0) return {};
    return {buf_.data() + head_, std::min(size_, buf_.size() - head_)};
  }

  void Drop(std::size_t n) {
    n = std::min(n, size_);
    size_ -= n;
    head_ = size_ == 0 ? 0 : (head_ + n) % buf_.size();
  }

  void Clear() {
    size_ = 0;
    head_ = 0;
  }

 private:
  void Reserve(std::size_t need) {
    if (need <= buf_.size()) return;
    std::vector<BYTE> bigger(std::max<std::size_t>({need, buf_.size() * 2, 256}));
    std::size_t first = std::min(size_, buf_.size() - head_);
    if (size_ != 0) {
      std::memcpy(bigger.data(), buf_.data() + head_, first);
      std::memcpy(bigger.data() + first, buf_.data(), size_ - first);
    }
    buf_.swap(bigger);
    head_ = 0;
  }

  std::vector<BYTE> buf_;
  std::size_t head_ = 0;
  std::size_t size_ = 0;
};

}  // namespace win32
