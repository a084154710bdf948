// Audio files through libsndfile: a reader that hands out stereo blocks (a mono file feeds both
// channels) and a writer that only ever leaves a complete file behind.
#pragma once

#include <sndfile.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "buffered_file.h"
#include "file_types.h"
#include "output_target.h"
#include "sample_conversion.h"

namespace qr47 {

enum class SampleFormat { kSameAsInput, kPcm16, kPcm24, kFloat };

// "16-bit", "24-bit" or "float" (also "pcm16", "pcm24", "16", "24", "32f"). Throws
// std::invalid_argument.
SampleFormat parseSampleFormat(const std::string& text);

class AudioReader {
 public:
  // Throws std::runtime_error, or std::invalid_argument for more than two channels.
  explicit AudioReader(const std::string& path);
  ~AudioReader();
  AudioReader(const AudioReader&) = delete;
  AudioReader& operator=(const AudioReader&) = delete;

  int sampleRate() const { return info_.samplerate; }
  int channels() const { return info_.channels; }
  long long frames() const { return info_.frames; }
  int format() const { return info_.format; }
  // What the header says the file holds; more than frames() when the file was cut short.
  long long promisedFrames() const { return promised_; }

  // Up to `frames` frames into the two channels; the number read, 0 at the end.
  int read(float* left, float* right, int frames);

 private:
  SF_INFO info_{};
  std::unique_ptr<BufferedFile> buffer_;  // a regular file's, read in large pieces
  SNDFILE* file_ = nullptr;
  long long promised_ = 0;
  std::vector<float> interleaved_;
};

// What the user asked of an output file.
struct OutputFormat {
  std::string type;  // a --type name, or empty for the extension's
  SampleFormat sample = SampleFormat::kSameAsInput;
  bool dither = true;  // for outputs of 16 bits or fewer
};

class AudioWriter {
 public:
  // A file of `channels` channels at `path`, in the type its extension (or format.type) names
  // and the sample format asked for, else the input's where the type takes it. Everything is
  // checked here, before any work: std::invalid_argument for what cannot be written,
  // std::runtime_error when opening fails.
  AudioWriter(const std::string& path, int sampleRate, int channels, int inputFormat,
              const OutputFormat& format);
  ~AudioWriter();  // removes the temporary file unless committed
  AudioWriter(const AudioWriter&) = delete;
  AudioWriter& operator=(const AudioWriter&) = delete;

  int channels() const { return channels_; }
  // Whether samples beyond full scale are clipped: integer samples are, float ones are kept.
  bool clips() const { return clips_; }
  void write(const float* left, const float* right, int frames);
  void commit();  // closes the file and, for a file written beside, gives it its name

 private:
  void discard();

  OutputTarget output_;
  std::string temporaryPath_;
  std::unique_ptr<BufferedFile> buffer_;  // a regular file's, written in large pieces
  SNDFILE* file_ = nullptr;
  int channels_;
  std::unique_ptr<SampleConverter> converter_;  // null for float samples
  bool clamp_ = false;                          // other formats that are not float
  bool clips_ = false;
  std::vector<float> interleaved_;
  std::vector<std::int32_t> integers_;
};

}  // namespace qr47
