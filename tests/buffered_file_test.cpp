// The buffered file behind libsndfile's virtual I/O, driven through the callbacks as the library
// drives them, against a plain byte array: pieces of every size around the buffer's and the
// direct path's limits, seeks back to rewrite a header, seeks within and beyond what was read.
#include "buffered_file.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <random>
#include <string>
#include <thread>
#include <vector>

namespace qr47 {
namespace {

// Around 256 KiB (the buffer) and 64 KiB (a request that bypasses it), and the library's own.
const std::size_t kPieces[] = {1, 7, 4096, 8192, 65535, 65536, 65537, 262143, 262145, 1048577};

std::string temporaryPath() {
  char path[] = "/tmp/qr47-buffered-XXXXXX";
  const int descriptor = mkstemp(path);
  close(descriptor);
  return path;
}

std::vector<char> contentsOf(const std::string& path) {
  std::vector<char> bytes;
  if (FILE* file = std::fopen(path.c_str(), "rb")) {
    for (int c; (c = std::fgetc(file)) != EOF;) bytes.push_back(static_cast<char>(c));
    std::fclose(file);
  }
  return bytes;
}

TEST(BufferedFile, WritesWhatALibraryWritesInAnyPieces) {
  const std::string path = temporaryPath();
  const int descriptor = open(path.c_str(), O_WRONLY | O_TRUNC);
  SF_VIRTUAL_IO* io = BufferedFile::callbacks();
  std::vector<char> expected;
  {
    BufferedFile file(descriptor, BufferedFile::Use::kWriting);
    std::mt19937 random(3);
    // The library's own pieces, past the buffer's end, then every size.
    std::vector<std::size_t> sizes(40, 8192);
    sizes.insert(sizes.end(), std::begin(kPieces), std::end(kPieces));
    for (int round = 0; round < 3; ++round) {
      for (std::size_t size : sizes) {
        std::vector<char> piece(size);
        for (char& byte : piece) byte = static_cast<char>(random());
        ASSERT_EQ(io->write(piece.data(), static_cast<sf_count_t>(size), &file),
                  static_cast<sf_count_t>(size));
        expected.insert(expected.end(), piece.begin(), piece.end());
        ASSERT_EQ(io->tell(&file), static_cast<sf_count_t>(expected.size()));
      }
      // A header rewritten at the start, then on at the end, as the library closes a file.
      const char header[] = "RIFFhead";
      ASSERT_EQ(io->seek(4, SEEK_SET, &file), 4);
      ASSERT_EQ(io->write(header, 8, &file), 8);
      std::copy(header, header + 8, expected.begin() + 4);
      ASSERT_EQ(io->tell(&file), 12);
      ASSERT_EQ(io->seek(0, SEEK_END, &file), static_cast<sf_count_t>(expected.size()));
      ASSERT_EQ(io->get_filelen(&file), static_cast<sf_count_t>(expected.size()));
    }
    const char tail[] = "end";
    ASSERT_EQ(io->write(tail, 3, &file), 3);
    expected.insert(expected.end(), tail, tail + 3);
    EXPECT_TRUE(file.flush());
  }
  EXPECT_TRUE(contentsOf(path) == expected);
  std::remove(path.c_str());
}

TEST(BufferedFile, ReadsAndSeeksAsAPlainFileWould) {
  const std::string path = temporaryPath();
  std::vector<char> bytes(12 * 1048576 + 12345);
  std::mt19937 random(4);
  for (char& byte : bytes) byte = static_cast<char>(random());
  FILE* out = std::fopen(path.c_str(), "wb");
  std::fwrite(bytes.data(), 1, bytes.size(), out);
  std::fclose(out);

  const int descriptor = open(path.c_str(), O_RDONLY);
  SF_VIRTUAL_IO* io = BufferedFile::callbacks();
  BufferedFile file(descriptor, BufferedFile::Use::kReading);
  const auto size = static_cast<sf_count_t>(bytes.size());
  EXPECT_EQ(io->get_filelen(&file), size);
  sf_count_t position = 0;
  // Every piece size, then seeks: back within what was read, forward beyond it, from the end.
  const struct {
    sf_count_t offset;
    int whence;
    sf_count_t target;  // -1: relative to the position before
  } seeks[] = {{-5, SEEK_CUR, -1},
               {-70000, SEEK_CUR, -1},
               {2000000, SEEK_CUR, -1},
               {12, SEEK_SET, 12},
               {-100, SEEK_END, size - 100}};
  for (const auto& seek : seeks) {
    for (std::size_t piece : kPieces) {
      std::vector<char> got(piece);
      const sf_count_t expected = std::min(static_cast<sf_count_t>(piece), size - position);
      ASSERT_EQ(io->read(got.data(), static_cast<sf_count_t>(piece), &file), expected);
      ASSERT_TRUE(std::equal(got.begin(), got.begin() + expected, bytes.begin() + position))
          << piece << " at " << position;
      position += expected;
      ASSERT_EQ(io->tell(&file), position);
      if (position == size) break;
    }
    const sf_count_t target = seek.target >= 0 ? seek.target : position + seek.offset;
    position = target;
    ASSERT_EQ(io->seek(seek.offset, seek.whence, &file), position);
  }
  char last[200];
  EXPECT_EQ(io->read(last, sizeof last, &file), 100);
  EXPECT_EQ(io->read(last, sizeof last, &file), 0);
  std::remove(path.c_str());
}

// A pipe hands out at most what it holds: reads come back short, and must add up to exactly
// what was asked for, though more is waiting.
TEST(BufferedFile, ShortReadsAddUp) {
  int ends[2];
  ASSERT_EQ(pipe(ends), 0);
  std::vector<char> sent(300000);
  std::mt19937 random(5);
  for (char& byte : sent) byte = static_cast<char>(random());
  std::thread writer([&] {
    EXPECT_EQ(write(ends[1], sent.data(), sent.size()), static_cast<ssize_t>(sent.size()));
    close(ends[1]);
  });
  std::vector<char> got(sent.size());
  {
    BufferedFile file(ends[0], BufferedFile::Use::kReading);
    EXPECT_EQ(BufferedFile::callbacks()->read(got.data(), 150000, &file), 150000);
    for (std::size_t done = 150000; done < got.size();) {
      const ssize_t more = read(ends[0], got.data() + done, got.size() - done);
      if (more <= 0) break;
      done += static_cast<std::size_t>(more);
    }
    writer.join();
  }
  EXPECT_EQ(fcntl(ends[0], F_GETFD), -1);  // closed with the file
  EXPECT_TRUE(got == sent);
}

// A refused write is reported with the system's reason, once gathered data meets it: a full
// device of the test's own (where this process may make one, as root; the machine's own is never
// written) and a file of its own opened for reading.
TEST(BufferedFile, ARefusedWriteIsReportedWithItsReason) {
  const std::string folder = ::testing::TempDir() + "qr47-refused-" + std::to_string(getpid());
  ASSERT_EQ(mkdir(folder.c_str(), 0755), 0);
  const std::string full = folder + "/full", readOnly = folder + "/read-only";
  const bool fullDevice = mknod(full.c_str(), S_IFCHR | 0666, makedev(1, 7)) == 0;
  std::fclose(std::fopen(readOnly.c_str(), "w"));
  const struct {
    std::string path;
    int flags;
    int error;
  } cases[] = {{full, O_WRONLY, ENOSPC}, {readOnly, O_RDONLY, EBADF}};
  SF_VIRTUAL_IO* io = BufferedFile::callbacks();
  for (const auto& c : cases) {
    if (c.path == full && !fullDevice) continue;
    const int descriptor = open(c.path.c_str(), c.flags);
    ASSERT_GE(descriptor, 0);
    BufferedFile file(descriptor, BufferedFile::Use::kWriting);
    const std::vector<char> small(100), large(100000);
    EXPECT_EQ(io->write(small.data(), 100, &file), 100) << c.path;  // gathered, not yet refused
    EXPECT_LT(io->write(large.data(), 100000, &file), 100000) << c.path;
    EXPECT_FALSE(file.flush()) << c.path;
    EXPECT_EQ(file.error(), c.error) << c.path;
  }
  std::remove(full.c_str());
  std::remove(readOnly.c_str());
  rmdir(folder.c_str());
}

}  // namespace
}  // namespace qr47
