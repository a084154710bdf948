#pragma once

#include <algorithm>
#include <cstddef>
#include <cstring>

namespace qr47 {

// Copies a text into a buffer of `room` bytes, cut to fit and always terminated.
inline void copyText(char* buffer, const char* text, std::size_t room) {
  const std::size_t length = std::min(std::strlen(text), room - 1);
  std::memcpy(buffer, text, length);
  buffer[length] = '\0';
}

}  // namespace qr47
