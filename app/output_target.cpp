#include "output_target.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstring>
#include <stdexcept>

namespace qr47 {
namespace {

// Symbolic links followed before giving up, as the kernel does.
constexpr int kMostLinks = 40;

std::string folderOf(const std::string& path) {
  const auto slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

std::invalid_argument refused(const std::string& path, const std::string& why) {
  return std::invalid_argument("cannot write " + path + ": " + why);
}

// The file a chain of symbolic links ends at, which need not exist yet.
std::string followLinks(const std::string& path) {
  std::string current = path;
  for (int followed = 0;; ++followed) {
    char target[PATH_MAX];
    const ssize_t length = readlink(current.c_str(), target, sizeof target - 1);
    if (length < 0) return current;
    if (followed == kMostLinks) throw refused(path, "too many levels of symbolic links");
    const std::string next(target, static_cast<std::size_t>(length));
    current = next[0] == '/' ? next : folderOf(current) + "/" + next;
  }
}

}  // namespace

OutputTarget planOutput(const std::string& path) {
  OutputTarget output;
  output.path = path;
  if (path == "-") {
    output.standardOutput = true;
    if (isatty(STDOUT_FILENO)) throw refused("standard output", "it is a terminal");
    return output;
  }
  if (path.empty() || path.back() == '/') throw refused(path, "it names a folder");
  output.target = followLinks(path);
  struct stat status {};
  if (stat(output.target.c_str(), &status) == 0) {
    output.existed = true;
    if (S_ISDIR(status.st_mode)) throw refused(path, "it is a folder");
    if (access(output.target.c_str(), W_OK) != 0) throw refused(path, std::strerror(errno));
    output.mode = status.st_mode & 07777;
    output.replace = S_ISREG(status.st_mode);
    if (!output.replace) return output;  // a device or FIFO, written as it is
  } else {
    output.replace = true;
  }
  const std::string folder = folderOf(output.target);
  if (stat(folder.c_str(), &status) != 0 || !S_ISDIR(status.st_mode)) {
    throw refused(path, "no folder " + folder);
  }
  if (access(folder.c_str(), W_OK | X_OK) != 0) {
    throw refused(path, "folder " + folder + ": " + std::strerror(errno));
  }
  return output;
}

int openOutput(const OutputTarget& output, const std::string& temporaryPath) {
  if (output.standardOutput) return STDOUT_FILENO;
  const int descriptor = output.replace ? open(temporaryPath.c_str(),
                                               O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, output.mode)
                                        : open(output.target.c_str(), O_WRONLY | O_CLOEXEC);
  if (descriptor < 0) {
    throw std::runtime_error("cannot write " + output.path + ": " + std::strerror(errno));
  }
  // An existing file keeps its mode, whatever the umask.
  if (output.replace && output.existed) fchmod(descriptor, output.mode);
  return descriptor;
}

bool canSeek(int descriptor) {
  return lseek(descriptor, 0, SEEK_CUR) >= 0;
}

}  // namespace qr47
