// A regular file that libsndfile reads or writes through its virtual I/O. The library asks for a
// few kilobytes at a time when it converts integer samples; this serves those requests from, or
// gathers them into, a buffer of a quarter megabyte, for some thirty times fewer system calls.
// Large requests (float samples) go straight to the file.
#pragma once

#include <sndfile.h>

#include <memory>

namespace qr47 {

class BufferedFile {
 public:
  enum class Use { kReading, kWriting };

  // Takes the descriptor, and closes it when destroyed (after the library's handle).
  BufferedFile(int descriptor, Use use);
  ~BufferedFile();
  BufferedFile(const BufferedFile&) = delete;
  BufferedFile& operator=(const BufferedFile&) = delete;

  // The callbacks to hand sf_open_virtual with this object.
  static SF_VIRTUAL_IO* callbacks();

  // Writes out what has been gathered. False when the system refused a write, now or before.
  bool flush();
  // Writes out what has been gathered and closes the descriptor; false as flush() is, or when
  // closing fails.
  bool close();
  int error() const { return error_; }  // the errno of the refusal

 private:
  sf_count_t length();
  sf_count_t seek(sf_count_t offset, int whence);
  sf_count_t read(void* destination, sf_count_t bytes);
  sf_count_t write(const void* source, sf_count_t bytes);
  sf_count_t tell() const;
  void noteError();

  int descriptor_;
  Use use_;
  std::unique_ptr<char[]> buffer_;  // not zeroed
  // Reading: buffer_[0, filled_) holds the bytes just before the descriptor's offset, and the
  // next byte served is buffer_[next_]. Writing: buffer_[0, filled_) waits to be written at it.
  sf_count_t offset_ = 0;
  std::size_t filled_ = 0;
  std::size_t next_ = 0;
  int error_ = 0;
};

}  // namespace qr47
