// The qr47 tool end to end: files it writes, checked sample by sample against the module driven
// directly or against a pass-through module whose output is known exactly, and what it refuses.
#include <cairo.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sndfile.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cctype>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <nlohmann/json.hpp>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "audio_file.h"
#include "automation.h"
#include "plugin_host.h"
#include "response.h"

namespace qr47 {
namespace {

struct Stereo {
  std::vector<float> left, right;
  int rate = 44100;
  int channels = 2;
  int format = 0;
};

const std::string kTool = QR47_TOOL_PATH;
// Whatever a test starts ends within a time limit, even when the tool hangs.
const std::string kBounded = "timeout -k 5 60 ";
constexpr auto kChildTimeLimit = std::chrono::seconds(60);
const std::string kPassThrough = std::string(" --plugin ") + QR47_FAKE_PASS_THROUGH + " ";
const std::string kCrossed = std::string(" --plugin ") + QR47_FAKE_CROSSED + " ";

class Tool : public ::testing::Test {
 protected:
  void SetUp() override {
    // The folder a test writes into, and beside it what the tool printed.
    base = ::testing::TempDir() + "qr47-tool-" + std::to_string(getpid()) + "/";
    folder = base + "work/";
    ASSERT_EQ(std::system(("rm -rf " + base + " && mkdir -p " + folder).c_str()), 0);
  }
  void TearDown() override { std::system(("rm -rf " + base).c_str()); }

  // Runs a shell command line; the exit status, and what it printed on standard error.
  int shell(const std::string& line, std::string* errors = nullptr) {
    const std::string log = base + "stderr.txt";
    const int status = std::system((line + " 2> " + log).c_str());
    if (errors) *errors = contents(log);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  int run(const std::string& arguments, std::string* errors = nullptr,
          const std::string& before = "") {
    return shell(before + kBounded + kTool + " " + arguments + " > " + base + "stdout.txt", errors);
  }
  std::string output() { return contents(base + "stdout.txt"); }

  static std::string contents(const std::string& path) {
    std::ifstream file(path);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
  }

  static void writeFile(const std::string& path, const Stereo& audio,
                        int format = SF_FORMAT_WAV | SF_FORMAT_FLOAT) {
    SF_INFO info{};
    info.samplerate = audio.rate;
    info.channels = audio.channels;
    info.format = format;
    SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
    ASSERT_NE(file, nullptr) << sf_strerror(nullptr);
    std::vector<float> interleaved;
    for (std::size_t i = 0; i < audio.left.size(); ++i) {
      interleaved.push_back(audio.left[i]);
      for (int c = 1; c < audio.channels; ++c) interleaved.push_back(audio.right[i]);
    }
    sf_writef_float(file, interleaved.data(), static_cast<sf_count_t>(audio.left.size()));
    sf_close(file);
  }

  // Read to the end, whatever the header says (a stream's may say nothing).
  static Stereo readFile(const std::string& path) {
    SF_INFO info{};
    SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
    Stereo audio;
    if (file == nullptr) return audio;
    std::vector<float> interleaved(4096 * static_cast<std::size_t>(info.channels));
    while (const sf_count_t frames = sf_readf_float(file, interleaved.data(), 4096)) {
      for (sf_count_t i = 0; i < frames * info.channels; i += info.channels) {
        audio.left.push_back(interleaved[i]);
        audio.right.push_back(interleaved[i + info.channels - 1]);
      }
    }
    sf_close(file);
    audio.rate = info.samplerate;
    audio.channels = info.channels;
    audio.format = info.format;
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

  // Everything in the folder, hidden files included, one name a line.
  std::string listing() {
    std::string names;
    shell("ls -A " + folder + " > " + base + "listing.txt");
    return contents(base + "listing.txt");
  }

  // Starts the tool with these arguments through the pass-through plug-in; what it prints on
  // standard error goes to stderr.txt. Its process id, or 0.
  // A child of the test: killed and reaped when the test leaves it, however it leaves.
  class Child {
   public:
    explicit Child(pid_t pid) : pid(pid) {}
    ~Child() {
      if (pid <= 0) return;
      kill(pid, SIGKILL);
      waitpid(pid, nullptr, 0);
    }
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;
    pid_t id() const { return pid; }
    // False when it has not ended within the time limit.
    bool ended(int* status) {
      const auto deadline = std::chrono::steady_clock::now() + kChildTimeLimit;
      while (std::chrono::steady_clock::now() < deadline) {
        if (waitpid(pid, status, WNOHANG) == pid) {
          pid = 0;
          return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
      }
      return false;
    }

   private:
    pid_t pid;
  };

  // The FIFO opened for writing once its reader has opened it, within the time limit; -1 if not.
  static int openWhenRead(const std::string& path) {
    const auto deadline = std::chrono::steady_clock::now() + kChildTimeLimit;
    while (std::chrono::steady_clock::now() < deadline) {
      const int fd = open(path.c_str(), O_WRONLY | O_NONBLOCK);
      if (fd >= 0) {
        fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
        return fd;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return -1;
  }
  static bool writeAll(int fd, const char* data, std::size_t size) {
    while (size > 0) {
      const ssize_t written = write(fd, data, size);
      if (written <= 0) return false;
      data += written;
      size -= static_cast<std::size_t>(written);
    }
    return true;
  }

  pid_t spawnTool(std::vector<std::string> words) {
    words.insert(words.begin(), {kTool, "--plugin", QR47_FAKE_PASS_THROUGH});
    std::vector<char*> arguments;
    for (std::string& word : words) arguments.push_back(word.data());
    arguments.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 2, (base + "stderr.txt").c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0644);
    pid_t child = 0;
    if (posix_spawn(&child, kTool.c_str(), &actions, nullptr, arguments.data(), environ) != 0) {
      child = 0;
    }
    posix_spawn_file_actions_destroy(&actions);
    return child;
  }

  // Waits (up to 20 s) until the temporary file for out.wav is there: the render has begun.
  bool renderHasBegun() {
    for (int i = 0; i < 2000 && listing().find(".out.wav.qr47-") == std::string::npos; ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return listing().find(".out.wav.qr47-") != std::string::npos;
  }

  std::string base, folder;
};

// What qr47 render must produce, computed by driving the module directly with the same calls.
Stereo renderDirectly(const Stereo& input, int block, bool accumulate,
                      const std::vector<std::string>& settings, const std::string& automation,
                      int tailFrames) {
  PluginModule module(QR47_MODULE_PATH);
  PluginInstance plugin(module);
  const ParameterTable table = parameterTableOf(plugin);
  plugin.setSampleRate(static_cast<float>(input.rate));
  plugin.setBlockSize(block);
  plugin.open();
  plugin.selectProgram(3);
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

// Longer than the four chunks the render keeps in flight, and a tail of silence across chunks
// too, its two channels different: the replacing and the accumulating calls against the module.
TEST_F(Tool, RenderMatchesTheModuleSampleForSample) {
  constexpr int kTailFrames = 24000;  // --tail 0.5 at 48 kHz
  const Stereo input = noise(70001, 48000);
  writeFile(folder + "in.wav", input);
  const std::vector<std::string> settings = {"type=bandpass", "q=0.9", "poles=4", "lp=0.3"};
  const std::string automation = "cutoff=0:0.1,0.3:0.95,0.6:0.4";
  for (const auto& [block, accumulate] : {std::pair{100, false}, {1, false}, {4096, true}}) {
    std::string errors;
    ASSERT_EQ(run("render " + folder + "in.wav " + folder + "out.wav --block " +
                      std::to_string(block) + (accumulate ? " --add" : "") +
                      " --tail 0.5 --set type=bandpass --set q=90% --program 3 --set poles=4 "
                      "--set 'lp=30 %' --automate " +
                      automation,
                  &errors),
              0)
        << errors;
    EXPECT_NE(errors.find("frames"), std::string::npos) << errors;
    const Stereo rendered = readFile(folder + "out.wav");
    const Stereo expected =
        renderDirectly(input, block, accumulate, settings, automation, kTailFrames);
    EXPECT_EQ(rendered.rate, 48000);
    ASSERT_EQ(rendered.left.size(), expected.left.size());
    for (std::size_t i = 0; i < expected.left.size(); ++i) {
      ASSERT_EQ(rendered.left[i], expected.left[i]) << block << " " << i;
      ASSERT_EQ(rendered.right[i], expected.right[i]) << block << " " << i;
    }
  }
  // A mono file gives a mono file: the left channel of the same audio rendered in stereo, both
  // inputs fed with it (the crossed plug-in's left output is its right input).
  Stereo mono = input;
  mono.right = mono.left;
  writeFile(folder + "twin.wav", mono);
  mono.channels = 1;
  writeFile(folder + "mono.wav", mono);
  for (const auto& [plugin, settings] :
       {std::pair<std::string, std::string>{"", " --set q=0.9"}, {kCrossed, ""}}) {
    for (const char* name : {"twin", "mono"}) {
      ASSERT_EQ(run(plugin + "-q render " + folder + name + ".wav " + folder + name + "-out.wav" +
                    settings),
                0);
    }
    const Stereo twin = readFile(folder + "twin-out.wav");
    const Stereo monoOut = readFile(folder + "mono-out.wav");
    EXPECT_EQ(monoOut.channels, 1);
    EXPECT_EQ(monoOut.left, twin.left) << plugin;
  }
}

// Through the pass-through module, whose output is known exactly: frame counts with tails and
// short files, the call --add reaches, the summary's count of samples beyond full scale.
TEST_F(Tool, FrameCountsCallsAndSummary) {
  Stereo input;
  input.left = {1.0f, -1.0f, 1.0000001f, -1.5f, 0.25f, 0.5f, -0.125f};
  input.right = {0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 2.0f};
  writeFile(folder + "in.wav", input);
  struct Case {
    std::string options;
    std::size_t frames;
    float sign;
    const char* summary;
  };
  const Case cases[] = {
      // A float output keeps samples beyond full scale; an integer one clips them.
      {"", 7, 1.0f,
       "7 frames (0.00 s at 44100 Hz), peak in 6.02 dBFS, peak out 6.02 dBFS, "
       "3 samples over full scale"},
      {"--add", 7, -1.0f, "3 samples over full scale"},
      {"--format 24-bit", 7, 0.0f, "3 clipped samples"},
      {"--tail 0.1", 7 + 4410, 1.0f, "4417 frames"},
      {"--tail 0.00002 --block 1", 8, 1.0f, "8 frames"},  // 0.882 frames round up to 1
      {"--tail 0.00001", 7, 1.0f, "7 frames"},            // 0.441 frames round down to 0
  };
  for (const Case& c : cases) {
    std::string errors;
    ASSERT_EQ(run(kPassThrough + "render " + folder + "in.wav " + folder + "out.wav " + c.options,
                  &errors),
              0)
        << c.options << errors;
    EXPECT_NE(errors.find(c.summary), std::string::npos) << c.options << ": " << errors;
    EXPECT_EQ(errors.find('\r'), std::string::npos) << "progress shown to no terminal";
    const Stereo out = readFile(folder + "out.wav");
    ASSERT_EQ(out.left.size(), c.frames) << c.options;
    if (c.sign == 0.0f) continue;  // clipped: the summary says so
    for (std::size_t i = 0; i < c.frames; ++i) {
      const float expected = i < input.left.size() ? c.sign * input.left[i] : 0.0f;
      EXPECT_EQ(out.left[i], expected) << c.options << " " << i;
    }
  }
  // A file cut short renders as far as it goes, says so with both counts, and fails.
  Stereo full = noise(8820, 44100);
  writeFile(folder + "long.wav", full, SF_FORMAT_WAV | SF_FORMAT_PCM_16);
  ASSERT_EQ(truncate((folder + "long.wav").c_str(), 44 + 2000 * 4), 0);
  std::string errors;
  EXPECT_EQ(run(kPassThrough + "render " + folder + "long.wav " + folder + "short.wav", &errors),
            1);
  EXPECT_NE(errors.find("holds 2000 frames where its header promises 8820"), std::string::npos)
      << errors;
  EXPECT_EQ(readFile(folder + "short.wav").left.size(), 2000u);

  // On a terminal the progress counts up on one line, to 100 %, which the summary then takes.
  writeFile(folder + "full.wav", full);
  ASSERT_EQ(
      shell("script -qec '" + kBounded + kTool + kPassThrough + "render " + folder + "full.wav " +
            folder + "shown.wav' " + base + "typescript > " + base + "terminal.txt"),
      0);
  const std::string terminal = contents(base + "terminal.txt");
  EXPECT_NE(terminal.find("\rrendering 100%\rqr47: rendered " + folder + "shown.wav: 8820 frames"),
            std::string::npos)
      << terminal;
}

// A quiet sine to 16 bits: dithered by default, with no offset; exactly rounded without dither.
TEST_F(Tool, SixteenBitOutputIsDitheredOrRounded) {
  Stereo input;
  const double amplitude = std::pow(10.0, -93.0 / 20.0);
  for (int i = 0; i < 44100; ++i) {
    input.left.push_back(static_cast<float>(amplitude * std::sin(2 * M_PI * 1000.0 * i / 44100)));
  }
  input.right = input.left;
  writeFile(folder + "quiet.wav", input);
  for (const std::string options :
       {"--format 16-bit", "--format 16-bit --no-dither", "--format 24"}) {
    ASSERT_EQ(run(kPassThrough + "render " + folder + "quiet.wav " + folder + "out.wav " + options),
              0);
    const bool pcm24 = options == "--format 24";
    const double steps = pcm24 ? 8388608.0 : 32768.0;
    const Stereo out = readFile(folder + "out.wav");
    ASSERT_EQ(out.format, SF_FORMAT_WAV | (pcm24 ? SF_FORMAT_PCM_24 : SF_FORMAT_PCM_16));
    ASSERT_EQ(out.left.size(), input.left.size());
    double sum = 0.0, largest = 0.0;
    int rounded = 0;
    for (std::size_t i = 0; i < out.left.size(); ++i) {
      const double value = out.left[i] * steps;
      sum += value;
      largest = std::max(largest, std::fabs(value));
      rounded += value == std::nearbyint(input.left[i] * steps) ? 1 : 0;
    }
    if (options == "--format 16-bit") {
      EXPECT_NEAR(sum / out.left.size(), 0.0, 0.05);
      EXPECT_EQ(largest, 2.0) << "dither of one step either side";
      EXPECT_LT(rounded, 30000) << "dithered, not rounded";
    } else {
      EXPECT_EQ(rounded, 44100) << options;
    }
  }
}

// Each mistake: the exit status, one line naming it, and nothing left behind.
TEST_F(Tool, BadInvocationsAreRefusedAndLeaveNothing) {
  writeFile(folder + "in.wav", noise(1000, 44100));
  Stereo three = noise(100, 44100);
  three.channels = 3;
  writeFile(folder + "three.wav", three);
  ASSERT_EQ(mkdir((folder + "sub").c_str(), 0755), 0);
  // A full device of the test's own, where this process may make one (as root): the machine's
  // own is never written.
  const bool fullDevice = mknod((folder + "full").c_str(), S_IFCHR | 0666, makedev(1, 7)) == 0;
  if (fullDevice) {
    ASSERT_EQ(symlink((folder + "full").c_str(), (folder + "full.svg").c_str()), 0);
  }
  writeFile(folder + "long.wav", noise(441000, 44100));
  std::ofstream(folder + "old.wav") << "old";
  const std::string before = listing();
  const std::string in = folder + "in.wav ";
  const std::string out = folder + "out.wav";
  struct Case {
    std::string arguments;
    int status;
    std::string named;
    std::string before = "";  // shell commands that set the scene
    bool needsFullDevice = false;
  };
  const Case cases[] = {
      {"render " + folder + "missing.wav " + out, 1, "missing.wav"},
      {"render " + in + folder + "full --type au", 1, "cannot write " + folder + "full", "", true},
      // A write that fails midway, past a file size limit, stops every thread.
      {"render " + in + out + " --tail 10", 1, "cannot write", "trap '' XFSZ; ulimit -f 100; "},
      {"-q render " + folder + "long.wav " + folder + "old.wav", 1,
       "cannot write " + folder + "old.wav", "trap '' XFSZ; ulimit -f 256; timeout 20 "},
      {"render " + folder + "three.wav " + out, 2, "3 channels"},
      {"render " + in + folder + "no/such/out.wav", 2, "no folder"},
      {"render " + in + folder + "sub", 2, "is a folder"},
      {"render " + in + folder + "out.txt", 2, "known: wav, aiff, flac, ogg, opus"},
      {"render " + in + folder + "out", 2, "--type names one"},
      {"render " + in + out + " --type mp4", 2, "unknown file type 'mp4'"},
      // Opus takes five rates; the library would refuse 44.1 kHz only once work began.
      {"render " + in + folder + "out.opus", 2, "8000, 12000, 16000, 24000 or 48000 Hz, not 44100"},
      {"render " + in + folder + "out.raw", 2, "--format"},
      {"render " + in + out + " --set colour=1", 2, "colour"},
      {"render " + in + out + " --set cutoff=loud", 2, "loud"},
      {"render " + in + out + " --set type=sideways", 2, "sideways"},
      {"render " + in + out + " --set poles=3", 2, "2 or 4"},
      {"render " + in + out + " --set cutoff=-0.5", 2, "outside"},
      {"render " + in + out + " --set cutoff=50Hz", 2, "range of 270 Hz to 20000 Hz"},
      {"render " + in + out + " --set q=150%", 2, "range of 1 % to 100 %"},
      {"render " + in + out + " --set boost=+30dB", 2, "range of -60 dB to +18.06 dB, or -inf"},
      {"render " + in + out + " --automate lp=0:10%,1:200%", 2, "range of 0 % (off) to 100 %"},
      {"render " + in + out + " --tail nan", 2, "--tail"},
      {"render " + in + out + " --tail -1", 2, "--tail"},
      {"render " + in + out + " --tail 3601", 2, "--tail"},
      {"render " + in + out + " --automate cutoff=0:0.1,oops", 2, "oops"},
      {"render " + in + out + " --automate cutoff=2:0.1,1:0.5", 2, "backwards"},
      {"render " + in + out + " --program 16", 2, "no program 16: the plug-in has 16 (0 to 15)"},
      {"render " + in + out + " --program -1", 2,
       "--program: Value -1 not in range 0 to 2147483647"},
      {"render " + in + out + " --block 0", 2, "block size 0"},
      {"render " + in + out + " --block 65537", 2, "block size 65537"},
      {"render " + in + out + " --format 12-bit", 2, "12-bit"},
      {"render " + in + out + " --colour", 2, "--colour"},
      {"render " + in, 2, "OUT"},
      {"", 2, "subcommand"},
      {"--plugin " + folder + "in.wav info", 1, "in.wav"},
      {"--plugin in.wav info", 1, "./in.wav"},
      {"--plugin libm.so.6 info", 1, "./libm.so.6"},
      {"--plugin " QR47_FAKE_NO_RECORD " info", 1, "returned null"},
      {"--plugin " QR47_FAKE_WRONG_SIGNATURE " info", 1, "signature"},
      {"--plugin " QR47_FAKE_MONO " info", 1, "1 output"},
      {"response " + folder + "plot.bmp", 2, "plot.bmp"},
      {"response " + folder + "sub/", 2, "sub/"},
      // A picture whose writing fails only as the surface is finished.
      {"response " + folder + "full.svg", 1, "cannot write", "", true},
      {"response --csv --rate 999", 2, "999 Hz is outside 1000 to 768000"},
      {"response --csv --rate 768001", 2, "768001 Hz"},
  };
  for (const Case& c : cases) {
    if (c.needsFullDevice && !fullDevice) continue;
    std::string errors;
    EXPECT_EQ(run(c.arguments, &errors, c.before), c.status) << c.arguments;
    EXPECT_NE(errors.find(c.named), std::string::npos) << c.arguments << ": " << errors;
    EXPECT_EQ(std::count(errors.begin(), errors.end(), '\n'), 1) << errors;
    EXPECT_EQ(listing(), before) << c.arguments;
  }
  EXPECT_EQ(contents(folder + "old.wav"), "old");
}

// Where an output goes: devices and FIFOs are written as they are, a symbolic link's target is
// replaced and keeps its mode, standard output takes a type that streams.
TEST_F(Tool, OutputsOfEveryKind) {
  const Stereo input = noise(3000, 44100);
  writeFile(folder + "in.wav", input);
  const std::string render = kPassThrough + "render " + folder + "in.wav ";

  ASSERT_EQ(run(render + "- --type au"), 0);
  std::ofstream(folder + "stdout.au") << output();
  EXPECT_EQ(readFile(folder + "stdout.au").left, input.left);

  // Into a pipe, a type that needs to seek back to its header is refused.
  shell("(" + kBounded + kTool + render + "- --type wav 2> " + base + "pipe.txt; echo $? > " +
        base + "status.txt) | cat > /dev/null");
  EXPECT_EQ(contents(base + "status.txt"), "2\n");
  EXPECT_NE(contents(base + "pipe.txt").find("cannot write wav output to standard output, which"),
            std::string::npos);

  ASSERT_EQ(mkfifo((folder + "fifo").c_str(), 0644), 0);
  // The reader ends when the tool closes the FIFO; the shell waits for both.
  ASSERT_EQ(
      shell(kBounded + "cat " + folder + "fifo > " + folder + "from-fifo.flac & { " + kBounded +
            kTool + render + folder + "fifo --type flac --format 24-bit && wait $!; }"),
      0);
  struct stat status {};
  ASSERT_EQ(lstat((folder + "fifo").c_str(), &status), 0);
  EXPECT_TRUE(S_ISFIFO(status.st_mode));
  EXPECT_EQ(readFile(folder + "from-fifo.flac").left.size(), input.left.size());

  std::ofstream(folder + "target.wav") << "old";
  ASSERT_EQ(chmod((folder + "target.wav").c_str(), 0600), 0);
  ASSERT_EQ(symlink((folder + "target.wav").c_str(), (folder + "absolute.wav").c_str()), 0);
  ASSERT_EQ(symlink("absolute.wav", (folder + "link.wav").c_str()), 0);
  ASSERT_EQ(run(render + folder + "link.wav"), 0);
  ASSERT_EQ(lstat((folder + "absolute.wav").c_str(), &status), 0);
  EXPECT_TRUE(S_ISLNK(status.st_mode));
  ASSERT_EQ(lstat((folder + "link.wav").c_str(), &status), 0);
  EXPECT_TRUE(S_ISLNK(status.st_mode));
  ASSERT_EQ(stat((folder + "target.wav").c_str(), &status), 0);
  EXPECT_EQ(status.st_mode & 07777, 0600u);
  EXPECT_EQ(readFile(folder + "target.wav").left, input.left);
  // Chains of links are followed as far as the system follows them: 40 links, not 41.
  std::string chain = "target.wav";
  for (int links = 1; links <= 41; ++links) {
    const std::string name = "chain" + std::to_string(links) + ".wav";
    ASSERT_EQ(symlink(chain.c_str(), (folder + name).c_str()), 0);
    chain = name;
    if (links < 40) continue;
    std::string errors;
    EXPECT_EQ(run(render + folder + chain, &errors), links == 40 ? 0 : 2) << errors;
  }
  // A new file has what the umask leaves of read and write for all.
  const mode_t mask = umask(022);
  umask(mask);
  ASSERT_EQ(run(render + folder + "new.wav"), 0);
  ASSERT_EQ(stat((folder + "new.wav").c_str(), &status), 0);
  EXPECT_EQ(status.st_mode & 07777, 0666u & ~mask);

  // A device node: only where this process may make one (as root).
  if (mknod((folder + "null").c_str(), S_IFCHR | 0666, makedev(1, 3)) == 0) {
    ASSERT_EQ(run(render + folder + "null --type wav"), 0);
    ASSERT_EQ(stat((folder + "null").c_str(), &status), 0);
    EXPECT_TRUE(S_ISCHR(status.st_mode));
  }
  const std::string left = listing();
  EXPECT_EQ(left.find(".qr47-"), std::string::npos) << left;
}

// An interrupt mid-render removes the temporary file, leaves the existing output as it was and
// exits with 128 + the signal number.
TEST_F(Tool, InterruptsLeaveTheOldOutput) {
  writeFile(folder + "in.wav", noise(100, 44100));
  std::ofstream(folder + "out.wav") << "old";
  for (int signal : {SIGINT, SIGTERM, SIGHUP}) {
    const std::string in = folder + "in.wav", out = folder + "out.wav";
    Child child(spawnTool({"render", in, out, "--tail", "3600", "--block", "64"}));
    ASSERT_NE(child.id(), 0);
    ASSERT_TRUE(renderHasBegun());  // so that the interrupt comes mid-render
    kill(child.id(), signal);
    int status = 0;
    ASSERT_TRUE(child.ended(&status));
    ASSERT_TRUE(WIFEXITED(status)) << signal;
    EXPECT_EQ(WEXITSTATUS(status), 128 + signal);
    EXPECT_EQ(listing(), "in.wav\nout.wav\n");
    EXPECT_EQ(contents(out), "old");
  }
}

// An output that cannot be put in place at the end (here a folder now stands at its name) is
// reported, exit 1, and the finished temporary file is removed. The input comes through a FIFO,
// so the render waits, mid-file, until the folder is there; the tool must open the FIFO only once,
// or the test's writes into it fail (SIGPIPE).
TEST_F(Tool, AnOutputThatCannotBePutInPlaceIsReported) {
  writeFile(folder + "whole.au", noise(4000, 44100), SF_FORMAT_AU | SF_FORMAT_FLOAT);
  const std::string bytes = contents(folder + "whole.au");
  ASSERT_EQ(std::remove((folder + "whole.au").c_str()), 0);
  const std::string in = folder + "in.fifo", out = folder + "out.wav";
  ASSERT_EQ(mkfifo(in.c_str(), 0644), 0);
  std::ofstream(out) << "old";

  Child child(spawnTool({"-q", "render", in, out}));
  ASSERT_NE(child.id(), 0);

  const int feed = openWhenRead(in);
  ASSERT_GE(feed, 0);
  const std::size_t half = bytes.size() / 2;
  ASSERT_TRUE(writeAll(feed, bytes.data(), half));
  ASSERT_TRUE(renderHasBegun());
  ASSERT_EQ(std::remove(out.c_str()), 0);
  ASSERT_EQ(mkdir(out.c_str(), 0755), 0);
  std::ofstream(out + "/kept") << "kept";
  ASSERT_TRUE(writeAll(feed, bytes.data() + half, bytes.size() - half));
  close(feed);

  int status = 0;
  ASSERT_TRUE(child.ended(&status));
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 1);
  const std::string errors = contents(base + "stderr.txt");
  EXPECT_NE(errors.find("cannot write " + out), std::string::npos) << errors;
  EXPECT_EQ(listing(), "in.fifo\nout.wav\n");
  EXPECT_EQ(contents(out + "/kept"), "kept");
}

// File types by extension or --type, each in its own container and sample format.
TEST_F(Tool, FileTypesByNameOrOption) {
  const Stereo input = noise(500, 48000);
  writeFile(folder + "in.wav", input, SF_FORMAT_WAV | SF_FORMAT_PCM_16);
  struct Case {
    std::string output;
    int format;
  };
  const Case cases[] = {
      {"a.aiff", SF_FORMAT_AIFF | SF_FORMAT_PCM_16},
      {"b.FLAC --format 24-bit", SF_FORMAT_FLAC | SF_FORMAT_PCM_24},
      {"c.ogg", SF_FORMAT_OGG | SF_FORMAT_VORBIS},
      {"d.opus", SF_FORMAT_OGG | SF_FORMAT_OPUS},
      {"e.caf --format float", SF_FORMAT_CAF | SF_FORMAT_FLOAT},
      {"f.w64", SF_FORMAT_W64 | SF_FORMAT_PCM_16},
      {"g.rf64", SF_FORMAT_RF64 | SF_FORMAT_PCM_16},
      {"h.au", SF_FORMAT_AU | SF_FORMAT_PCM_16},
      {"i --type WAV", SF_FORMAT_WAV | SF_FORMAT_PCM_16},  // names take any case
      {"j.mp3", SF_FORMAT_MPEG | SF_FORMAT_MPEG_LAYER_III},
  };
  for (const Case& c : cases) {
    ASSERT_EQ(run(kPassThrough + "render " + folder + "in.wav " + folder + c.output), 0)
        << c.output;
    const Stereo out = readFile(folder + c.output.substr(0, c.output.find(' ')));
    EXPECT_EQ(out.format, c.format) << c.output;
    EXPECT_EQ(out.rate, 48000) << c.output;
  }
  ASSERT_EQ(run(kPassThrough + "render " + folder + "in.wav " + folder + "k.raw --format float"),
            0);
  EXPECT_EQ(contents(folder + "k.raw").size(), 500u * 2 * 4);
}

TEST_F(Tool, InfoResponseAndTheModuleSearch) {
  std::string errors;
  // --program comes before --set, and the texts are those of the settings.
  ASSERT_EQ(run("info --set cutoff=0.5 --program 0 --set type=notch"), 0);
  for (const char* line :
       {"Name         QR47   vendor QR47 Project   product QR47 Filter\n",
        "Category     effect   vendor version 1\n", "Identifier   'QR47'   version 1\n",
        "Programs     16   parameters 6   inputs 2   outputs 2\n",
        "Flags        canMono canReplace\n",
        " 0  Cutoff         0.5        2950      Hz      cutoff=2950.0613Hz\n",
        " 2  Filter Type    0.75       notch             type=notch\n", " 0  --- Default ---\n",
        "15  Init 15\n"}) {
    EXPECT_NE(output().find(line), std::string::npos) << line << output();
  }
  // What info shows to type back sets the same values again.
  ASSERT_EQ(run("info --set cutoff=0.37 --set q=0.83 --set type=0.5 --set poles=4 --set lp=0.33 "
                "--set boost=0.7"),
            0);
  const std::string shown = output();
  std::string typedBack;
  std::istringstream listing(shown);
  for (std::string row; std::getline(listing, row);) {
    if (row.find('=') != std::string::npos) typedBack += " --set " + row.substr(row.rfind(' ') + 1);
  }
  ASSERT_EQ(run("info" + typedBack), 0) << typedBack;
  EXPECT_EQ(output(), shown) << typedBack;
  ASSERT_EQ(run("--version"), 0);
  int major = -1, minor = -1, patch = -1;
  EXPECT_EQ(std::sscanf(output().c_str(), "qr47 %d.%d.%d\n", &major, &minor, &patch), 3)
      << output();
  ASSERT_EQ(run("info --json --set q=0.25"), 0);
  const nlohmann::json json = nlohmann::json::parse(output());
  EXPECT_EQ(json["name"], "QR47");
  EXPECT_EQ(json["product"], "QR47 Filter");
  EXPECT_EQ(json["category"], "effect");
  EXPECT_EQ(json["identifier"], "QR47");
  EXPECT_EQ(json["version"], 1);
  EXPECT_EQ(json["programs"], 16);
  EXPECT_EQ(json["parameters"], 6);
  EXPECT_EQ(json["inputs"], 2);
  EXPECT_EQ(json["outputs"], 2);
  EXPECT_EQ(json["flags"], nlohmann::json::parse(R"(["canMono", "canReplace"])"));
  EXPECT_EQ(json["parameterList"][1], nlohmann::json::parse(R"({"index": 1, "name": "Q Factor",
            "value": 0.25, "text": "25", "unit": "%", "set": "q=25%"})"));
  EXPECT_EQ(json["programList"][0], "--- Default ---");
  EXPECT_EQ(json["programList"].size(), 16u);

  // The demo's files, each of its length: six seconds of material and half a second of tail.
  ASSERT_EQ(run("-q demo " + folder + "demo", &errors), 0);
  EXPECT_EQ(errors, "");
  EXPECT_EQ(contents(base + "stdout.txt"), "");
  ASSERT_EQ(shell("ls " + folder + "demo > " + base + "demo.txt"), 0);
  EXPECT_EQ(contents(base + "demo.txt"),
            "bandpass.wav\nhighpass.wav\ninput.wav\nlowpass.wav\nnotch.wav\nresponse.png\n");
  EXPECT_EQ(readFile(folder + "demo/input.wav").left.size(), 264600u);
  // Each type's file is the input through it at Q 90 %, the cutoff swept from 0.05 up to 1 and
  // back over the six seconds, and half a second of tail.
  ASSERT_EQ(run("-q render " + folder + "demo/input.wav " + folder +
                "notch.wav --set type=notch --set q=0.9 --automate cutoff=0:0.05,3:1,6:0.05 "
                "--tail 0.5"),
            0);
  const Stereo demoNotch = readFile(folder + "demo/notch.wav"),
               notch = readFile(folder + "notch.wav");
  EXPECT_EQ(demoNotch.left.size(), 286650u);
  EXPECT_TRUE(demoNotch.left == notch.left && demoNotch.right == notch.right);

  // Found through LXVST_PATH by a qr47 with no module beside it.
  ASSERT_EQ(shell("mkdir -p " + folder + "bin " + folder + "vst && cp " + kTool + " " + folder +
                  "bin/ && cp " QR47_MODULE_PATH " " + folder + "vst/"),
            0);
  const std::string moved = "HOME=" + folder + " " + folder + "bin/qr47 info";
  ASSERT_EQ(shell("LXVST_PATH=/nowhere:" + folder + "vst " + moved + " > " + folder + "info.txt"),
            0);
  EXPECT_NE(contents(folder + "info.txt").find(folder + "vst/qr47-filter.so"), std::string::npos);
  EXPECT_EQ(shell("LXVST_PATH=" + folder + "bin " + moved, &errors), 1);
  EXPECT_NE(errors.find("no qr47-filter.so"), std::string::npos) << errors;
  // Several folders, in order, empty entries and a trailing separator passed over: the first
  // folder that holds the module is the one (here another module under the same name).
  ASSERT_EQ(shell("mkdir -p " + folder + "other " + folder +
                  "empty && cp " QR47_FAKE_PASS_THROUGH " " + folder + "other/qr47-filter.so"),
            0);
  for (const std::string& list :
       {"::" + folder + "empty::" + folder + "other:" + folder + "vst:",
        folder + "vst:" + folder + "other", folder + "empty/:" + folder + "vst/"}) {
    ASSERT_EQ(shell("LXVST_PATH='" + list + "' " + moved + " > " + folder + "info.txt"), 0) << list;
    const bool other = list.find("other") < list.find("vst");
    const std::string chosen = other ? folder + "other/qr47-filter.so" : folder + "vst/";
    EXPECT_NE(contents(folder + "info.txt").find("Plug-in      " + chosen), std::string::npos)
        << list << "\n"
        << contents(folder + "info.txt");
  }

  // The response of a low pass at 5000 Hz, and of the four types overlaid.
  ASSERT_EQ(run("response --csv --set cutoff=0.66666 --set q=0.7"), 0);
  std::istringstream csv(output());
  std::string line;
  std::getline(csv, line);
  EXPECT_EQ(line, "Hz,dB");
  double hz = 0, db = 0, at5k = 0, at100 = 0, at10k = 0;
  char comma;
  int rows = 0;
  while (csv >> hz >> comma >> db) {
    ++rows;
    if (std::fabs(hz - 5000) < 80) at5k = db;
    if (std::fabs(hz - 100) < 1.5) at100 = db;
    if (std::fabs(hz - 10000) < 150) at10k = db;
  }
  EXPECT_EQ(rows, 534);  // 10 Hz to 22050 Hz, 48 points an octave
  EXPECT_NEAR(hz, 22050, 400);
  // The analog prototype 1 / (s^2 + s/Q + 1) with Q 0.7 through the bilinear transform: 0 dB
  // far below, 20 log10(0.7) at the cutoff, -14.8 dB at 10 kHz (tan(pi f/fs) ratio 2.32).
  EXPECT_NEAR(at100, 0.0, 0.05);
  EXPECT_NEAR(at5k, -3.1, 0.2);
  EXPECT_NEAR(at10k, -14.8, 0.5);
  for (const auto& [compared, columns] :
       {std::pair{"types", "Hz,low pass,high pass,band pass,notch"},
        std::pair{"poles", "Hz,2 poles,4 poles"}}) {
    ASSERT_EQ(run(std::string("response --csv --compare ") + compared), 0) << compared;
    EXPECT_EQ(output().substr(0, output().find('\n')), columns);
  }
  ASSERT_EQ(run("-q response " + folder + "r.svg --set poles=4 --rate 96000", &errors), 0);
  EXPECT_EQ(errors, "");
  // The axes, the grid and the letters lie within the picture (the curves are clipped to the
  // plot): the straight lines' ends and the letters' origins.
  const std::string svg = contents(folder + "r.svg");
  // The numbers of an attribute, from its value's start: letters and commas between them skipped.
  auto numbers = [&](std::size_t from) {
    std::string value = svg.substr(from, svg.find('"', from) - from);
    for (char& c : value) c = std::isalpha(static_cast<unsigned char>(c)) ? ' ' : c;
    std::istringstream in(value);
    std::vector<double> all;
    for (double n; in >> n;) all.push_back(n);
    return all;
  };
  const std::string box = "viewBox=\"0 0 ";
  const std::vector<double> size = numbers(svg.find(box) + box.size());
  ASSERT_EQ(size.size(), 2u);
  const double width = size[0], height = size[1];
  int points = 0;
  auto inside = [&](double x, double y) {
    ++points;
    return x >= 0.0 && x <= width && y >= 0.0 && y <= height;
  };
  const std::size_t drawn = svg.find("</defs>");
  const std::string path = " d=\"";
  for (std::size_t at = svg.find(path, drawn); at != std::string::npos;
       at = svg.find(path, at + 1)) {
    const std::vector<double> xy = numbers(at + path.size());
    if (xy.size() != 4) continue;
    for (std::size_t i = 0; i < xy.size(); i += 2) {
      EXPECT_TRUE(inside(xy[i], xy[i + 1])) << xy[i] << ", " << xy[i + 1];
    }
  }
  int atTheFoot = 0;  // the letters of the frequency axis's title, under its numbers
  for (std::size_t at = svg.find("<use ", drawn); at != std::string::npos;
       at = svg.find("<use ", at + 1)) {
    const double x = numbers(svg.find(" x=\"", at) + 4).at(0);
    const double y = numbers(svg.find(" y=\"", at) + 4).at(0);
    EXPECT_TRUE(inside(x, y)) << x << ", " << y;
    atTheFoot += y > height - 20.0 ? 1 : 0;
  }
  EXPECT_GE(atTheFoot, 10);
  EXPECT_GT(points, 100);

  // The title: the other settings as the plug-in shows them, numbers tidied, and the rate.
  PluginModule module(QR47_MODULE_PATH);
  RenderOptions fourPoles;
  fourPoles.settings = {{3, 1.0f}};
  PluginInstance plugin(module);
  const ResponsePlot plot =
      measureResponses(module, 48000.0f, fourPoles, parameterTableOf(plugin), {"type=notch"});
  EXPECT_EQ(plot.title,
            "Cutoff 20000 Hz, Q Factor 70 %, Pole Number 4 poles, Additional LP Off, 18dB Boost 0 "
            "dB; at 48000 Hz");
  EXPECT_EQ(plot.curves.at(0).label, "notch");

  // The curve is drawn inside the plot: many pixels of its colour (26, 89, 191) there.
  ASSERT_EQ(run("response " + folder + "r.png"), 0);
  cairo_surface_t* picture = cairo_image_surface_create_from_png((folder + "r.png").c_str());
  ASSERT_EQ(cairo_surface_status(picture), CAIRO_STATUS_SUCCESS);
  const unsigned char* pixels = cairo_image_surface_get_data(picture);
  const int stride = cairo_image_surface_get_stride(picture);
  int blue = 0;
  for (int y = 64; y < 524; ++y) {
    for (int x = 70; x < 970; ++x) {
      std::uint32_t pixel;
      std::memcpy(&pixel, pixels + y * stride + 4 * x, sizeof pixel);
      const int r = (pixel >> 16) & 0xFF, g = (pixel >> 8) & 0xFF, b = pixel & 0xFF;
      blue += std::abs(r - 26) < 8 && std::abs(g - 89) < 8 && std::abs(b - 191) < 8 ? 1 : 0;
    }
  }
  cairo_surface_destroy(picture);
  EXPECT_GT(blue, 800);
}

}  // namespace
}  // namespace qr47
