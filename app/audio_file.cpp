#include "audio_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <sstream>
#include <stdexcept>

#include "file_names.h"
#include "interrupts.h"

namespace qr47 {
namespace {

constexpr std::size_t kLogBytes = 8192;
constexpr int kOpusRates[] = {8000, 12000, 16000, 24000, 48000};

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

bool isRegularFile(int descriptor) {
  struct stat status {};
  return fstat(descriptor, &status) == 0 && S_ISREG(status.st_mode);
}

bool isFloat(int format) {
  const int subtype = format & SF_FORMAT_SUBMASK;
  return subtype == SF_FORMAT_FLOAT || subtype == SF_FORMAT_DOUBLE;
}

// The library reads a file cut short as far as it goes, and notes in its log what the header
// promised: "data : 352800 (should be 99956)", in bytes.
long long framesInHeader(SNDFILE* file, long long frames) {
  std::vector<char> log(kLogBytes);
  sf_command(file, SFC_GET_LOG_INFO, log.data(), static_cast<int>(log.size()));
  long long promised = 0, present = 0;
  std::istringstream lines(log.data());
  for (std::string line; std::getline(lines, line);) {
    char chunk[8] = {};
    if (std::sscanf(line.c_str(), "%7s : %lld (should be %lld)", chunk, &promised, &present) == 3 &&
        (std::strcmp(chunk, "data") == 0 || std::strcmp(chunk, "SSND") == 0)) {
      break;
    }
    promised = present = 0;
  }
  if (frames <= 0 || promised <= present || present <= 0) return frames;
  return frames + (promised - present) * frames / present;
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
  // A regular file is read in large pieces; anything else the library reads as it is. What is
  // opened is never closed and opened again: a FIFO's writer would lose what it had sent. A path
  // that cannot be opened, and standard input, the library opens itself and explains.
  const int descriptor = path == "-" ? -1 : open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (descriptor < 0) {
    file_ = sf_open(path.c_str(), SFM_READ, &info_);
  } else if (isRegularFile(descriptor)) {
    buffer_ = std::make_unique<BufferedFile>(descriptor, BufferedFile::Use::kReading);
    file_ = sf_open_virtual(BufferedFile::callbacks(), SFM_READ, &info_, buffer_.get());
  } else {
    file_ = sf_open_fd(descriptor, SFM_READ, &info_, SF_TRUE);  // closed by the library on failure
  }
  if (file_ == nullptr) {
    throw std::runtime_error("cannot read " + path + ": " + sf_strerror(nullptr));
  }
  if (info_.channels < 1 || info_.channels > 2) {
    const int channels = info_.channels;
    sf_close(file_);
    file_ = nullptr;
    throw std::invalid_argument(path + " has " + std::to_string(channels) +
                                " channels; qr47 renders mono or stereo files");
  }
  promised_ = framesInHeader(file_, info_.frames);
}

AudioReader::~AudioReader() {
  if (file_ != nullptr) sf_close(file_);
}

int AudioReader::read(float* left, float* right, int frames) {
  // A mono file is read straight into the left channel; the loops use locals only, so that they
  // become vector code.
  if (info_.channels == 1) {
    const auto got = static_cast<int>(sf_readf_float(file_, left, frames));
    std::copy_n(left, got, right);
    return got;
  }
  interleaved_.resize(2 * static_cast<std::size_t>(frames));
  const float* samples = interleaved_.data();
  const auto got = static_cast<int>(sf_readf_float(file_, interleaved_.data(), frames));
  for (int i = 0; i < got; ++i) {
    left[i] = samples[2 * i];
    right[i] = samples[2 * i + 1];
  }
  return got;
}

AudioWriter::AudioWriter(const std::string& path, int sampleRate, int channels, int inputFormat,
                         const OutputFormat& format)
    : output_(planOutput(path)), channels_(channels) {
  const FileType& type = fileTypeFor(path, format.type);
  SF_INFO info{};
  info.samplerate = sampleRate;
  info.channels = channels;
  if (format.sample != SampleFormat::kSameAsInput) {
    info.format = type.major | subtypeOf(format.sample);
  } else if (type.subtype == 0) {
    throw std::invalid_argument(std::string(type.name) +
                                " output holds no word of its sample format; give --format");
  } else {
    info.format = type.major | (inputFormat & SF_FORMAT_SUBMASK);
    if (!sf_format_check(&info)) info.format = type.major | type.subtype;
  }
  if (!sf_format_check(&info)) {
    throw std::invalid_argument(std::string(type.name) +
                                " output cannot hold the sample format asked for");
  }
  // The library takes an Opus file at any rate and refuses it only when it opens it.
  if ((info.format & SF_FORMAT_SUBMASK) == SF_FORMAT_OPUS &&
      std::find(std::begin(kOpusRates), std::end(kOpusRates), sampleRate) == std::end(kOpusRates)) {
    throw std::invalid_argument("opus output is 8000, 12000, 16000, 24000 or 48000 Hz, not " +
                                std::to_string(sampleRate) + " Hz: resample the input first");
  }
  if (const int bits = pcmBits(info.format)) {
    converter_ = std::make_unique<SampleConverter>(bits, format.dither && bits <= 16);
  }
  clamp_ = !converter_ && !isFloat(info.format);
  clips_ = !isFloat(info.format);

  if (output_.replace) {
    temporaryPath_ = temporaryPathFor(output_.target);
    setTemporaryFile(temporaryPath_);
  }
  const int descriptor = openOutput(output_, temporaryPath_);
  const bool closeIt = !output_.standardOutput;
  if (!canSeek(descriptor) && !type.streams) {
    if (closeIt) close(descriptor);
    throw std::invalid_argument(
        "cannot write " + std::string(type.name) + " output to " +
        (output_.standardOutput ? "standard output" : path) +
        ", which cannot seek back to its header (flac, ogg, au or raw can)");
  }
  // A regular file is written in large pieces; anything else the library writes as it goes.
  if (closeIt && isRegularFile(descriptor)) {
    buffer_ = std::make_unique<BufferedFile>(descriptor, BufferedFile::Use::kWriting);
    file_ = sf_open_virtual(BufferedFile::callbacks(), SFM_WRITE, &info, buffer_.get());
  } else {
    file_ = sf_open_fd(descriptor, SFM_WRITE, &info, closeIt ? SF_TRUE : SF_FALSE);
  }
  if (file_ == nullptr) {
    const std::string why = sf_strerror(nullptr);
    discard();  // the library or the buffer has closed the descriptor
    throw std::runtime_error("cannot write " + path + ": " + why);
  }
}

AudioWriter::~AudioWriter() {
  if (file_ != nullptr) {
    sf_close(file_);
    discard();
  }
}

void AudioWriter::discard() {
  if (temporaryPath_.empty()) return;
  std::remove(temporaryPath_.c_str());
  setTemporaryFile("");
}

void AudioWriter::write(const float* left, const float* right, int frames) {
  const std::size_t count = static_cast<std::size_t>(frames) * channels_;
  interleaved_.resize(count);
  float* const samples = interleaved_.data();
  if (channels_ == 2) {
    for (int i = 0; i < frames; ++i) {
      samples[2 * i] = left[i];
      samples[2 * i + 1] = right[i];
    }
  } else {
    std::copy_n(left, frames, samples);
  }
  sf_count_t written;
  if (converter_) {
    integers_.resize(count);
    converter_->convert(interleaved_.data(), integers_.data(), count);
    written = sf_writef_int(file_, integers_.data(), frames);
  } else {
    if (clamp_) {
      for (float& sample : interleaved_) sample = std::clamp(sample, -1.0f, 1.0f);
    }
    written = sf_writef_float(file_, interleaved_.data(), frames);
  }
  if (written != frames) {
    throw std::runtime_error("cannot write " + output_.path + ": " + sf_strerror(file_));
  }
}

void AudioWriter::commit() {
  const int closed = sf_close(file_);
  file_ = nullptr;
  std::string why = closed != 0 ? sf_error_number(closed) : "";
  if (buffer_ && !buffer_->close() && why.empty()) why = std::strerror(buffer_->error());
  if (why.empty() && output_.replace &&
      std::rename(temporaryPath_.c_str(), output_.target.c_str()) != 0) {
    why = std::strerror(errno);
  }
  if (!why.empty()) {
    discard();
    throw std::runtime_error("cannot write " + output_.path + ": " + why);
  }
  setTemporaryFile("");
}

}  // namespace qr47
