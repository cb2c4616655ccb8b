// Splits a PARMRK byte stream (termios INPCK|PARMRK, no ISTRIP):
//   \377 \377  a \377 data byte
//   \377 \0 \0 a break
//   \377 \0 c  byte c received with a parity or framing error
// Everything else is data. The state survives across reads. Internal.
#pragma once

#include <cstddef>
#include <cstring>

#include "win32.h"

namespace win32 {

class ParmrkParser {
 public:
  // Calls sink.Data(p, n), sink.Break() and sink.Error(c) in stream order.
  template <typename Sink>
  void Parse(const BYTE* data, std::size_t n, Sink& sink) {
    if (state_ == 0 && std::memchr(data, 0xFF, n) == nullptr) {
      sink.Data(data, n);
      return;
    }
    static constexpr BYTE kFF = 0xFF;
    std::size_t start = 0;
    for (std::size_t i = 0; i < n; ++i) {
      const BYTE b = data[i];
      if (state_ == 0) {
        if (b == 0xFF) {
          if (i > start) sink.Data(data + start, i - start);
          state_ = 1;
        }
        continue;
      }
      if (state_ == 1) {
        if (b == 0) {
          state_ = 2;
          continue;
        }
        // \377 \377, or a lone \377 (marking switched on mid-stream): data.
        sink.Data(&kFF, 1);
        state_ = 0;
        start = b == 0xFF ? i + 1 : i;
        continue;
      }
      state_ = 0;
      start = i + 1;
      if (b == 0) {
        sink.Break();
      } else {
        sink.Error(b);
      }
    }
    if (state_ == 0 && start < n) sink.Data(data + start, n - start);
  }

  void Reset() { state_ = 0; }

 private:
  int state_ = 0;  // 0 plain, 1 after \377, 2 after \377 \0
};

}  // namespace win32
