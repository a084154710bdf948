#include "file_types.h"

#include <sndfile.h>

#include <sstream>
#include <stdexcept>

#include "file_names.h"

namespace qr47 {
namespace {

constexpr FileType kTypes[] = {
    {"wav", "wav wave", SF_FORMAT_WAV, SF_FORMAT_PCM_24, false},
    {"aiff", "aiff aif aifc", SF_FORMAT_AIFF, SF_FORMAT_PCM_24, false},
    {"flac", "flac", SF_FORMAT_FLAC, SF_FORMAT_PCM_24, true},
    {"ogg", "ogg oga", SF_FORMAT_OGG, SF_FORMAT_VORBIS, true},
    {"opus", "opus", SF_FORMAT_OGG, SF_FORMAT_OPUS, true},
    {"mp3", "mp3", SF_FORMAT_MPEG, SF_FORMAT_MPEG_LAYER_III, true},
    {"caf", "caf", SF_FORMAT_CAF, SF_FORMAT_PCM_24, false},
    {"w64", "w64", SF_FORMAT_W64, SF_FORMAT_PCM_24, false},
    {"rf64", "rf64", SF_FORMAT_RF64, SF_FORMAT_PCM_24, false},
    {"au", "au snd", SF_FORMAT_AU, SF_FORMAT_PCM_24, true},
    {"raw", "raw pcm", SF_FORMAT_RAW, 0, true},
};

// Whether this build of the library has the container at all (MP3 came late to it).
bool libraryWrites(const FileType& type) {
  int count = 0;
  sf_command(nullptr, SFC_GET_FORMAT_MAJOR_COUNT, &count, sizeof count);
  for (int i = 0; i < count; ++i) {
    SF_FORMAT_INFO info{};
    info.format = i;
    sf_command(nullptr, SFC_GET_FORMAT_MAJOR, &info, sizeof info);
    if (info.format == type.major) return true;
  }
  return false;
}

bool named(const FileType& type, const std::string& extension) {
  std::istringstream words(type.extensions);
  std::string word;
  while (words >> word) {
    if (word == extension) return true;
  }
  return false;
}

}  // namespace

// Type names, like extensions, take any case.
const FileType& fileTypeFor(const std::string& path, const std::string& typeName) {
  const std::string key = typeName.empty() ? extensionOf(path) : lowered(typeName);
  for (const FileType& type : kTypes) {
    if ((typeName.empty() ? named(type, key) : key == type.name) && libraryWrites(type)) {
      return type;
    }
  }
  if (!typeName.empty()) {
    throw std::invalid_argument("unknown file type '" + typeName + "' (known: " + fileTypeList() +
                                ")");
  }
  throw std::invalid_argument("cannot tell the file type of " + path +
                              " from its name (known: " + fileTypeList() + "; --type names one)");
}

std::string fileTypeList() {
  std::string list;
  for (const FileType& type : kTypes) {
    if (libraryWrites(type)) list += (list.empty() ? "" : ", ") + std::string(type.name);
  }
  return list;
}

}  // namespace qr47
