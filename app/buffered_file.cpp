#include "buffered_file.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace qr47 {
namespace {

// A quarter of a megabyte: few calls, and memory the system maps only as it is used (a new
// process pays for every page it touches).
constexpr std::size_t kBufferBytes = std::size_t{1} << 18;
// Requests this large are worth a system call of their own.
constexpr std::size_t kDirectBytes = std::size_t{1} << 16;

// Every byte asked for, moved by `call` (read or write); fewer only at the end of the file or on
// an error.
template <typename Byte, typename Call>
sf_count_t moveFully(Call call, int descriptor, Byte* bytes, std::size_t count) {
  std::size_t done = 0;
  while (done < count) {
    const ssize_t moved = call(descriptor, bytes + done, count - done);
    if (moved < 0 && errno == EINTR) continue;
    if (moved <= 0) break;
    done += static_cast<std::size_t>(moved);
  }
  return static_cast<sf_count_t>(done);
}

BufferedFile& self(void* user) {
  return *static_cast<BufferedFile*>(user);
}

}  // namespace

void BufferedFile::noteError() {
  // A write that put nothing and set no errno can only be a full device.
  if (error_ == 0) error_ = errno != 0 ? errno : ENOSPC;
}

BufferedFile::BufferedFile(int descriptor, Use use)
    : descriptor_(descriptor), use_(use), buffer_(new char[kBufferBytes]) {
  offset_ = lseek(descriptor_, 0, SEEK_CUR);
}

BufferedFile::~BufferedFile() {
  if (descriptor_ >= 0) ::close(descriptor_);
}

bool BufferedFile::close() {
  flush();
  if (::close(descriptor_) != 0) noteError();
  descriptor_ = -1;
  return error_ == 0;
}

SF_VIRTUAL_IO* BufferedFile::callbacks() {
  static SF_VIRTUAL_IO io = {
      [](void* user) { return self(user).length(); },
      [](sf_count_t offset, int whence, void* user) { return self(user).seek(offset, whence); },
      [](void* destination, sf_count_t bytes, void* user) {
        return self(user).read(destination, bytes);
      },
      [](const void* source, sf_count_t bytes, void* user) {
        return self(user).write(source, bytes);
      },
      [](void* user) { return self(user).tell(); },
  };
  return &io;
}

bool BufferedFile::flush() {
  if (use_ == Use::kWriting && filled_ > 0) {
    const sf_count_t put = moveFully(::write, descriptor_, buffer_.get(), filled_);
    offset_ += put;
    if (put != static_cast<sf_count_t>(filled_)) noteError();
    filled_ = 0;
  }
  return error_ == 0;
}

sf_count_t BufferedFile::length() {
  if (!flush()) return -1;
  struct stat status {};
  if (fstat(descriptor_, &status) != 0) return -1;
  return status.st_size;
}

sf_count_t BufferedFile::tell() const {
  if (use_ == Use::kWriting) return offset_ + static_cast<sf_count_t>(filled_);
  return offset_ - static_cast<sf_count_t>(filled_ - next_);
}

sf_count_t BufferedFile::seek(sf_count_t offset, int whence) {
  sf_count_t target = offset;
  if (whence == SEEK_CUR) target += tell();
  if (whence == SEEK_END) {
    const sf_count_t end = length();
    if (end < 0) return -1;
    target += end;
  }
  // A seek within what was read keeps the buffer.
  const sf_count_t bufferStart = offset_ - static_cast<sf_count_t>(filled_);
  if (use_ == Use::kReading && target >= bufferStart && target <= offset_) {
    next_ = static_cast<std::size_t>(target - bufferStart);
    return target;
  }
  if (!flush() || lseek(descriptor_, target, SEEK_SET) < 0) return -1;
  offset_ = target;
  filled_ = next_ = 0;
  return target;
}

sf_count_t BufferedFile::read(void* destination, sf_count_t bytes) {
  auto* out = static_cast<char*>(destination);
  const auto wanted = static_cast<std::size_t>(bytes);
  std::size_t done = 0;
  while (done < wanted) {
    if (next_ == filled_) {
      if (wanted - done >= kDirectBytes) {
        const sf_count_t got = moveFully(::read, descriptor_, out + done, wanted - done);
        offset_ += got;
        filled_ = next_ = 0;
        return static_cast<sf_count_t>(done) + got;
      }
      const sf_count_t got = moveFully(::read, descriptor_, buffer_.get(), kBufferBytes);
      offset_ += got;
      filled_ = static_cast<std::size_t>(got);
      next_ = 0;
      if (got == 0) break;
    }
    const std::size_t part = std::min(wanted - done, filled_ - next_);
    std::memcpy(out + done, buffer_.get() + next_, part);
    next_ += part;
    done += part;
  }
  return static_cast<sf_count_t>(done);
}

sf_count_t BufferedFile::write(const void* source, sf_count_t bytes) {
  const auto* in = static_cast<const char*>(source);
  const auto size = static_cast<std::size_t>(bytes);
  if ((size >= kDirectBytes || filled_ + size > kBufferBytes) && !flush()) return 0;
  if (size >= kDirectBytes) {
    const sf_count_t put = moveFully(::write, descriptor_, in, size);
    offset_ += put;
    if (put != bytes) noteError();
    return put;
  }
  std::memcpy(buffer_.get() + filled_, in, size);
  filled_ += size;
  return bytes;
}

}  // namespace qr47
