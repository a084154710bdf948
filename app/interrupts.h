// What an interrupt (SIGINT, SIGTERM, SIGHUP) does while the tool writes: the temporary file
// in progress is removed, and the tool exits with 128 + the signal number.
#pragma once

#include <string>

namespace qr47 {

void handleInterrupts();

// The temporary file an interrupt removes; one at a time, cleared with an empty path.
void setTemporaryFile(const std::string& path);

}  // namespace qr47
