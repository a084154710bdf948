#include "audio_file.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <stdexcept>

#include "file_names.h"

namespace qr47 {
namespace {

struct Container {
  const char* extension;
  int major;
  int subtype;  // used when the input's sample format does not fit this container
};

constexpr Container kContainers[] = {
    {"wav", SF_FORMAT_WAV, SF_FORMAT_PCM_24},   {"aif", SF_FORMAT_AIFF, SF_FORMAT_PCM_24},
    {"aiff", SF_FORMAT_AIFF, SF_FORMAT_PCM_24}, {"flac", SF_FORMAT_FLAC, SF_FORMAT_PCM_24},
    {"ogg", SF_FORMAT_OGG, SF_FORMAT_VORBIS},   {"oga", SF_FORMAT_OGG, SF_FORMAT_VORBIS},
    {"caf", SF_FORMAT_CAF, SF_FORMAT_PCM_24},   {"w64", SF_FORMAT_W64, SF_FORMAT_PCM_24},
};

const Container* containerFor(const std::string& path) {
  const std::string extension = extensionOf(path);
  for (const Container& container : kContainers) {
    if (extension == container.extension) return &container;
  }
  return nullptr;
}

int subtypeOf(SampleFormat format) {
  switch (format) {
    case SampleFormat::kPcm16:
      return SF_FORMAT_PCM_16;
    case SampleFormat::kPcm24:
      return SF_FORMAT_PCM_24;
    case SampleFormat::kFloat:
      return SF_FORMAT_FLOAT;
    case SampleFormat::kSameAsInput:
      break;
  }
  return 0;
}

}  // namespace

SampleFormat parseSampleFormat(const std::string& text) {
  std::string key;
  for (char c : text) {
    if (c != '-' && c != ' ') key += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  }
  if (key == "16bit" || key == "pcm16" || key == "16") return SampleFormat::kPcm16;
  if (key == "24bit" || key == "pcm24" || key == "24") return SampleFormat::kPcm24;
  if (key == "float" || key == "32f" || key == "float32") return SampleFormat::kFloat;
  throw std::invalid_argument("unknown sample format '" + text +
                              "' (expected 16-bit, 24-bit or float)");
}

AudioReader::AudioReader(const std::string& path) {
  file_ = sf_open(path.c_str(), SFM_READ, &info_);
  if (file_ == nullptr) {
    throw std::runtime_error("cannot read " + path + ": " + sf_strerror(nullptr));
  }
  if (info_.channels < 1 || info_.channels > 2) {
    const int channels = info_.channels;
    sf_close(file_);
    file_ = nullptr;
    throw std::runtime_error(path + " has " + std::to_string(channels) +
                             " channels; qr47 renders mono or stereo files");
  }
}

AudioReader::~AudioReader() {
  if (file_ != nullptr) sf_close(file_);
}

int AudioReader::read(float* left, float* right, int frames) {
  interleaved_.resize(static_cast<std::size_t>(frames) * info_.channels);
  const auto got = static_cast<int>(sf_readf_float(file_, interleaved_.data(), frames));
  for (int i = 0; i < got; ++i) {
    left[i] = interleaved_[static_cast<std::size_t>(i) * info_.channels];
    right[i] = interleaved_[static_cast<std::size_t>(i) * info_.channels + info_.channels - 1];
  }
  return got;
}

AudioWriter::AudioWriter(const std::string& path, int sampleRate, int inputFormat,
                         SampleFormat format)
    : path_(path), temporaryPath_(temporaryPathFor(path)) {
  const Container* container = containerFor(path);
  const int major = container ? container->major : (inputFormat & SF_FORMAT_TYPEMASK);
  SF_INFO info{};
  info.samplerate = sampleRate;
  info.channels = 2;
  if (format != SampleFormat::kSameAsInput) {
    info.format = major | subtypeOf(format);
    if (!sf_format_check(&info)) {
      throw std::runtime_error("cannot write " + path + " in the sample format asked for");
    }
  } else {
    info.format = major | (inputFormat & SF_FORMAT_SUBMASK);
    if (!sf_format_check(&info)) {
      info.format = major | (container ? container->subtype : SF_FORMAT_PCM_24);
    }
    if (!sf_format_check(&info)) {
      throw std::runtime_error("cannot write " + path + ": unknown file type");
    }
  }
  file_ = sf_open(temporaryPath_.c_str(), SFM_WRITE, &info);
  if (file_ == nullptr) {
    throw std::runtime_error("cannot write " + path + ": " + sf_strerror(nullptr));
  }
  // Samples beyond full scale are clipped by integer formats rather than wrapped.
  sf_command(file_, SFC_SET_CLIPPING, nullptr, SF_TRUE);
}

AudioWriter::~AudioWriter() {
  if (file_ != nullptr) {
    sf_close(file_);
    std::remove(temporaryPath_.c_str());
  }
}

void AudioWriter::write(const float* left, const float* right, int frames) {
  interleaved_.resize(static_cast<std::size_t>(frames) * 2);
  for (int i = 0; i < frames; ++i) {
    interleaved_[2 * static_cast<std::size_t>(i)] = left[i];
    interleaved_[2 * static_cast<std::size_t>(i) + 1] = right[i];
  }
  if (sf_writef_float(file_, interleaved_.data(), frames) != frames) {
    throw std::runtime_error("cannot write " + path_ + ": " + sf_strerror(file_));
  }
}

void AudioWriter::commit() {
  const int closed = sf_close(file_);
  file_ = nullptr;
  if (closed != 0 || std::rename(temporaryPath_.c_str(), path_.c_str()) != 0) {
    std::remove(temporaryPath_.c_str());
    throw std::runtime_error("cannot write " + path_);
  }
}

}  // namespace qr47
