// The audio file types the tool writes, named by extension or by --type, and what each needs.
#pragma once

#include <string>

namespace qr47 {

struct FileType {
  const char* name;        // what --type takes, and the usual extension
  const char* extensions;  // every extension that names it, blank-separated
  int major;               // libsndfile container
  int subtype;             // sample format when the input's does not fit (0: must be given)
  bool streams;            // can be written to a pipe, which cannot seek back to a header
};

// The type `--type NAME` names (when given) or the extension of `path` names, among those the
// library writes. Throws std::invalid_argument listing the types.
const FileType& fileTypeFor(const std::string& path, const std::string& typeName);

// "wav, aiff, flac, ...": the types this build of the library writes.
std::string fileTypeList();

}  // namespace qr47
