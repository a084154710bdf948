// What the tool's writers need of a file name.
#pragma once

#include <string>

namespace qr47 {

// The text in lower case.
std::string lowered(std::string text);

// The extension in lower case ("wav" for "Take.WAV"), or empty.
std::string extensionOf(const std::string& path);

// ".NAME.qr47-PID.tmp" in the folder of `path`: written first, then renamed over `path` when
// complete, so no partial file is ever left under the real name and the rename stays on one
// device.
std::string temporaryPathFor(const std::string& path);

}  // namespace qr47
