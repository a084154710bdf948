// Audio files through libsndfile: a reader that hands out stereo blocks (a mono file feeds both
// channels) and a writer that only ever leaves a complete file behind.
#pragma once

#include <sndfile.h>

#include <string>
#include <vector>

namespace qr47 {

enum class SampleFormat { kSameAsInput, kPcm16, kPcm24, kFloat };

// "16-bit", "24-bit" or "float" (also "pcm16", "pcm24", "16", "24", "32f"). Throws
// std::invalid_argument.
SampleFormat parseSampleFormat(const std::string& text);

class AudioReader {
 public:
  explicit AudioReader(const std::string& path);  // throws std::runtime_error
  ~AudioReader();
  AudioReader(const AudioReader&) = delete;
  AudioReader& operator=(const AudioReader&) = delete;

  int sampleRate() const { return info_.samplerate; }
  int channels() const { return info_.channels; }
  long long frames() const { return info_.frames; }
  int format() const { return info_.format; }

  // Up to `frames` frames into the two channels; the number read, 0 at the end.
  int read(float* left, float* right, int frames);

 private:
  SF_INFO info_{};
  SNDFILE* file_ = nullptr;
  std::vector<float> interleaved_;
};

class AudioWriter {
 public:
  // A stereo file at `path`, in the container its extension names (else the input's) and the
  // sample format asked for (else the input's, where the container takes it). Writes to a
  // temporary file beside it until commit. Throws std::runtime_error.
  AudioWriter(const std::string& path, int sampleRate, int inputFormat, SampleFormat format);
  ~AudioWriter();  // removes the temporary file unless committed
  AudioWriter(const AudioWriter&) = delete;
  AudioWriter& operator=(const AudioWriter&) = delete;

  void write(const float* left, const float* right, int frames);
  void commit();  // closes the file and gives it its name

 private:
  std::string path_;
  std::string temporaryPath_;
  SNDFILE* file_ = nullptr;
  std::vector<float> interleaved_;
};

}  // namespace qr47
