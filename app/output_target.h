// Where an output goes, decided before any work: a regular file (new or existing, or the target
// of a symbolic link) is written beside itself and renamed over when complete; a device, a FIFO
// or standard output ("-") is written directly and never replaced.
#pragma once

#include <sys/types.h>

#include <string>

namespace qr47 {

struct OutputTarget {
  std::string path;      // as the user gave it
  std::string target;    // after following symbolic links
  bool replace = false;  // written to a temporary file and renamed over `target`
  bool standardOutput = false;
  mode_t mode = 0666;  // for a new file, before the umask; an existing file's own mode
  bool existed = false;
};

// Checks that the output can be written: its folder exists and is writable, it is no folder,
// an existing file may be written. Throws std::invalid_argument naming the reason.
OutputTarget planOutput(const std::string& path);

// Opens the file to write into: the temporary file (created, never reused) or the output itself.
// Throws std::runtime_error.
int openOutput(const OutputTarget& output, const std::string& temporaryPath);

// Whether what is open can seek back (a file or a device like /dev/null) or only stream.
bool canSeek(int descriptor);

}  // namespace qr47
