// The qr47 tool end to end: files it writes, checked sample by sample against the module driven
// directly, and the errors it reports.
#include <gtest/gtest.h>
#include <sndfile.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "audio_file.h"
#include "automation.h"
#include "plugin_host.h"

namespace qr47 {
namespace {

struct Stereo {
  std::vector<float> left, right;
  int rate = 0;
};

class Tool : public ::testing::Test {
 protected:
  void SetUp() override {
    folder = ::testing::TempDir() + "qr47-tool-" + std::to_string(getpid()) + "/";
    ASSERT_EQ(std::system(("mkdir -p " + folder).c_str()), 0);
  }
  void TearDown() override { std::system(("rm -rf " + folder).c_str()); }

  // Runs qr47 with the arguments; the exit status, and what it printed on stderr.
  int run(const std::string& arguments, std::string* errors = nullptr) {
    const std::string log = folder + "stderr.txt";
    const int status = std::system((std::string(QR47_TOOL_PATH) + " " + arguments + " 2> " + log +
                                    " > " + folder + "stdout.txt")
                                       .c_str());
    if (errors) {
      std::ifstream file(log);
      std::stringstream text;
      text << file.rdbuf();
      *errors = text.str();
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

  static void writeFile(const std::string& path, const Stereo& audio, int channels, int format) {
    SF_INFO info{};
    info.samplerate = audio.rate;
    info.channels = channels;
    info.format = format;
    SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
    ASSERT_NE(file, nullptr) << sf_strerror(nullptr);
    std::vector<float> interleaved;
    for (std::size_t i = 0; i < audio.left.size(); ++i) {
      interleaved.push_back(audio.left[i]);
      if (channels >= 2) interleaved.push_back(audio.right[i]);
      for (int c = 2; c < channels; ++c) interleaved.push_back(0.0f);
    }
    sf_writef_float(file, interleaved.data(), static_cast<sf_count_t>(audio.left.size()));
    sf_close(file);
  }

  static Stereo readFile(const std::string& path) {
    AudioReader reader(path);
    Stereo audio;
    audio.rate = reader.sampleRate();
    audio.left.resize(reader.frames());
    audio.right.resize(reader.frames());
    int at = 0;
    while (int got = reader.read(audio.left.data() + at, audio.right.data() + at, 1000)) at += got;
    EXPECT_EQ(at, reader.frames());
    return audio;
  }

  static Stereo noise(int frames, int rate) {
    std::mt19937 random(frames);
    std::uniform_real_distribution<float> level(-0.9f, 0.9f);
    Stereo audio;
    audio.rate = rate;
    for (int i = 0; i < frames; ++i) {
      audio.left.push_back(level(random));
      audio.right.push_back(level(random));
    }
    return audio;
  }

  bool exists(const std::string& path) { return access((folder + path).c_str(), F_OK) == 0; }

  std::string folder;
};

// What qr47 render must produce, computed by driving the module directly with the same calls.
Stereo renderDirectly(const Stereo& input, int block, bool accumulate, const ParameterTable& table,
                      const std::vector<std::string>& settings, const std::string& automation,
                      int tailFrames) {
  PluginModule module(QR47_MODULE_PATH);
  PluginInstance plugin(module);
  plugin.setSampleRate(static_cast<float>(input.rate));
  plugin.setBlockSize(block);
  plugin.open();
  for (const std::string& text : settings) {
    const Setting setting = parseSetting(table, text);
    plugin.setParameter(setting.index, setting.value);
  }
  plugin.resume();
  const Automation ramp = parseAutomation(table, automation);
  Stereo in = input;
  in.left.resize(in.left.size() + tailFrames, 0.0f);
  in.right.resize(in.right.size() + tailFrames, 0.0f);
  Stereo out{std::vector<float>(in.left.size()), std::vector<float>(in.left.size()), input.rate};
  for (std::size_t start = 0; start < in.left.size(); start += block) {
    const int frames = static_cast<int>(std::min<std::size_t>(block, in.left.size() - start));
    plugin.setParameter(ramp.index, ramp.valueAt(static_cast<double>(start) / input.rate));
    float* const inputs[2] = {in.left.data() + start, in.right.data() + start};
    float* const outputs[2] = {out.left.data() + start, out.right.data() + start};
    plugin.process(inputs, outputs, frames, accumulate);
  }
  return out;
}

TEST_F(Tool, RenderMatchesTheModuleSampleForSample) {
  const Stereo input = noise(30011, 48000);
  writeFile(folder + "in.wav", input, 2, SF_FORMAT_WAV | SF_FORMAT_FLOAT);
  const ParameterTable table{{" Cutoff ", " Q Factor ", " Filter Type ", " Pole Number ",
                              " Additional LP ", " 18dB Boost "},
                             true};
  const std::vector<std::string> settings = {"type=bandpass", "q=0.9", "poles=4", "lp=0.3"};
  const std::string automation = "cutoff=0:0.1,0.3:0.95,0.6:0.4";
  for (const auto& [block, accumulate] : {std::pair{100, false}, {1, false}, {4096, true}}) {
    std::string errors;
    ASSERT_EQ(run("render " + folder + "in.wav " + folder + "out.wav --block " +
                      std::to_string(block) + (accumulate ? " --add" : "") +
                      " --tail 0.1 --set type=bandpass --set q=0.9 --set poles=4 --set lp=0.3 "
                      "--automate " +
                      automation,
                  &errors),
              0)
        << errors;
    EXPECT_NE(errors.find("frames"), std::string::npos) << errors;
    const Stereo rendered = readFile(folder + "out.wav");
    const Stereo expected =
        renderDirectly(input, block, accumulate, table, settings, automation, 4800);
    EXPECT_EQ(rendered.rate, 48000);
    ASSERT_EQ(rendered.left.size(), expected.left.size());
    for (std::size_t i = 0; i < expected.left.size(); ++i) {
      ASSERT_EQ(rendered.left[i], expected.left[i]) << block << " " << i;
      ASSERT_EQ(rendered.right[i], expected.right[i]) << block << " " << i;
    }
  }
}

TEST_F(Tool, MonoInputFeedsBothChannels) {
  Stereo input = noise(5000, 44100);
  writeFile(folder + "mono.wav", input, 1, SF_FORMAT_WAV | SF_FORMAT_FLOAT);
  ASSERT_EQ(run("render " + folder + "mono.wav " + folder + "out.wav"), 0);
  const Stereo rendered = readFile(folder + "out.wav");
  EXPECT_EQ(rendered.left, rendered.right);
  EXPECT_NE(rendered.left, std::vector<float>(5000, 0.0f));
}

TEST_F(Tool, SampleFormatsRoundTrip) {
  const Stereo input = noise(2000, 44100);
  struct Case {
    const char* file;
    const char* format;
    int expectedFormat;
    float tolerance;
  };
  const Case cases[] = {
      {"a.wav", "16-bit", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 1.0f / 32768},
      {"b.aiff", "24-bit", SF_FORMAT_AIFF | SF_FORMAT_PCM_24, 1.0f / 8388608},
      {"c.flac", "16-bit", SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 1.0f / 32768},
      {"d.wav", "float", SF_FORMAT_WAV | SF_FORMAT_FLOAT, 0.0f},
  };
  for (const Case& c : cases) {
    {
      AudioWriter writer(folder + c.file, 44100, SF_FORMAT_WAV | SF_FORMAT_FLOAT,
                         parseSampleFormat(c.format));
      writer.write(input.left.data(), input.right.data(), 2000);
      writer.commit();
    }
    AudioReader reader(folder + c.file);
    EXPECT_EQ(reader.format(), c.expectedFormat) << c.file;
    const Stereo back = readFile(folder + c.file);
    for (int i = 0; i < 2000; ++i) {
      ASSERT_NEAR(back.left[i], input.left[i], c.tolerance) << c.file;
      ASSERT_NEAR(back.right[i], input.right[i], c.tolerance) << c.file;
    }
  }
  // The input's format carries over when none is asked for.
  writeFile(folder + "in16.wav", input, 2, SF_FORMAT_WAV | SF_FORMAT_PCM_16);
  ASSERT_EQ(run("render " + folder + "in16.wav " + folder + "out16.wav"), 0);
  EXPECT_EQ(AudioReader(folder + "out16.wav").format(), SF_FORMAT_WAV | SF_FORMAT_PCM_16);
}

TEST_F(Tool, AnUncommittedWriterLeavesNothing) {
  {
    AudioWriter writer(folder + "never.wav", 44100, SF_FORMAT_WAV | SF_FORMAT_FLOAT,
                       SampleFormat::kSameAsInput);
    float samples[4] = {};
    writer.write(samples, samples, 4);
  }
  EXPECT_EQ(std::system(("test -z \"$(ls -A " + folder + ")\"").c_str()), 0);
}

// Each mistake gives a one-line message naming it, a non-zero status and no output file.
TEST_F(Tool, ErrorsAreReportedAndLeaveNoOutput) {
  writeFile(folder + "in.wav", noise(1000, 44100), 2, SF_FORMAT_WAV | SF_FORMAT_FLOAT);
  writeFile(folder + "three.wav", noise(1000, 44100), 3, SF_FORMAT_WAV | SF_FORMAT_FLOAT);
  const std::string in = folder + "in.wav ";
  const std::string out = folder + "out.wav";
  struct Case {
    std::string arguments, named;
  };
  const Case cases[] = {
      {"render " + folder + "missing.wav " + out, "missing.wav"},
      {"render " + folder + "three.wav " + out, "3 channels"},
      {"render " + in + folder + "no/such/folder/out.wav", "out.wav"},
      {"render " + in + out + " --set colour=1", "colour"},
      {"render " + in + out + " --set cutoff=loud", "loud"},
      {"render " + in + out + " --set type=sideways", "sideways"},
      {"render " + in + out + " --automate cutoff=0:0.1,oops", "oops"},
      {"render " + in + out + " --automate cutoff=2:0.1,1:0.5", "backwards"},
      {"render " + in + out + " --program 16", "program 16"},
      {"render " + in + out + " --block 0", "block size 0"},
      {"render " + in + out + " --format 12-bit", "12-bit"},
      {"--plugin " + folder + "in.wav info", "in.wav"},
      {"--plugin /no/module.so info", "/no/module.so"},
      {"--plugin " QR47_FAKE_NO_RECORD " info", "returned null"},
      {"--plugin " QR47_FAKE_WRONG_SIGNATURE " info", "signature"},
      {"--plugin " QR47_FAKE_MONO " info", "1 output"},
      {"response " + folder + "plot.bmp", "plot.bmp"},
  };
  for (const Case& c : cases) {
    std::string errors;
    EXPECT_NE(run(c.arguments, &errors), 0) << c.arguments;
    EXPECT_NE(errors.find(c.named), std::string::npos) << c.arguments << ": " << errors;
    EXPECT_EQ(std::count(errors.begin(), errors.end(), '\n'), 1) << errors;
    EXPECT_FALSE(exists("out.wav")) << c.arguments;
    EXPECT_FALSE(exists("plot.bmp")) << c.arguments;
  }
  EXPECT_EQ(std::system(("test $(ls -A " + folder + " | wc -l) -eq 4").c_str()), 0)
      << "only the inputs and the captured output remain";
}

TEST_F(Tool, ResponseAndInfo) {
  ASSERT_EQ(run("response " + folder + "r.png --compare types"), 0);
  ASSERT_EQ(run("response " + folder + "r.svg --set poles=4 --rate 96000"), 0);
  EXPECT_TRUE(exists("r.png"));
  EXPECT_TRUE(exists("r.svg"));
  ASSERT_EQ(run("response --csv --set cutoff=0.66666 --set q=0.7"), 0);
  std::ifstream csv(folder + "stdout.txt");
  std::string line;
  std::getline(csv, line);
  EXPECT_EQ(line, "Hz,dB");
  double hz = 0, db = 0, at5k = 0, at100 = 0;
  char comma;
  while (csv >> hz >> comma >> db) {
    if (std::fabs(hz - 5000) < 80) at5k = db;
    if (std::fabs(hz - 100) < 1.5) at100 = db;
  }
  EXPECT_NEAR(hz, 22050, 400);
  EXPECT_NEAR(at100, 0.0, 0.05);  // a low pass at 5000 Hz
  EXPECT_NEAR(at5k, -3.0, 0.5);
  ASSERT_EQ(run("info --json"), 0);
  std::ifstream json(folder + "stdout.txt");
  std::stringstream text;
  text << json.rdbuf();
  EXPECT_NE(text.str().find("\"identifier\": \"QR47\""), std::string::npos);
  EXPECT_NE(text.str().find("\"--- Default ---\""), std::string::npos);
}

}  // namespace
}  // namespace qr47
