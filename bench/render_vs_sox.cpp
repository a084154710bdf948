// `qr47 render` beside sox on the same jobs: a long stereo file in a folder held in memory (so
// that the disk is out of the picture), runs alternating between the two, the median wall time
// of each and their ratio, and the peak resident memory of each.
//
//   qr47_render_vs_sox [--seconds 600] [--runs 5] [--folder /dev/shm] [--qr47 PATH]
#include <fcntl.h>
#include <sndfile.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

extern char** environ;

namespace {

constexpr int kChunkFrames = 1 << 16;
constexpr double kNoiseLevel = 0.5;

struct Job {
  const char* name;
  int rate;
  int format;
  std::vector<std::string> settings;  // qr47's; sox always runs the same two-pole low pass
};

// Cutoff 0.5 shows 2950 Hz; Q Factor 0.7 is the factory value.
const std::vector<std::string> kSox = {"lowpass", "2950", "0.7q"};

void makeInput(const std::string& path, int rate, int format, double seconds) {
  SF_INFO info{};
  info.samplerate = rate;
  info.channels = 2;
  info.format = format;
  SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
  if (file == nullptr) throw std::runtime_error("cannot write " + path);
  std::mt19937 random(47);
  std::uniform_real_distribution<float> noise(-kNoiseLevel, kNoiseLevel);
  std::vector<float> chunk(2 * kChunkFrames);
  auto left = static_cast<long long>(seconds * rate);
  while (left > 0) {
    const auto frames = static_cast<int>(std::min<long long>(left, kChunkFrames));
    for (float& sample : chunk) sample = noise(random);
    sf_writef_float(file, chunk.data(), frames);
    left -= frames;
  }
  sf_close(file);
}

struct Run {
  double seconds;
  double cpuSeconds;  // user and system, on every core
  long peakKiB;
};

// Runs a program with its output out of sight; wall time and peak resident memory.
Run timed(std::vector<std::string> words) {
  std::vector<char*> arguments;
  for (std::string& word : words) arguments.push_back(word.data());
  arguments.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
  const auto start = std::chrono::steady_clock::now();
  pid_t child = 0;
  if (posix_spawnp(&child, arguments[0], &actions, nullptr, arguments.data(), environ) != 0) {
    throw std::runtime_error("cannot run " + words[0]);
  }
  int status = 0;
  rusage usage{};
  wait4(child, &status, 0, &usage);
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  posix_spawn_file_actions_destroy(&actions);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    throw std::runtime_error(words[0] + " failed");
  }
  const auto cpu = [](const timeval& time) { return time.tv_sec + time.tv_usec * 1e-6; };
  return {seconds, cpu(usage.ru_utime) + cpu(usage.ru_stime), usage.ru_maxrss};
}

double median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
  double seconds = 600.0;
  int runs = 5;
  std::string folder = "/dev/shm", qr47 = QR47_TOOL_PATH;
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string option = argv[i];
    if (option == "--seconds") seconds = std::atof(argv[i + 1]);
    if (option == "--runs") runs = std::atoi(argv[i + 1]);
    if (option == "--folder") folder = argv[i + 1];
    if (option == "--qr47") qr47 = argv[i + 1];
  }
  const std::string base = folder + "/qr47-vs-sox-" + std::to_string(getpid());
  const Job jobs[] = {
      {"44.1 kHz float, 2 poles", 44100, SF_FORMAT_WAV | SF_FORMAT_FLOAT, {"cutoff=0.5"}},
      {"44.1 kHz float, 4 poles + LP 0.5",
       44100,
       SF_FORMAT_WAV | SF_FORMAT_FLOAT,
       {"cutoff=0.5", "poles=4", "lp=0.5"}},
      {"96 kHz 24-bit, 2 poles", 96000, SF_FORMAT_WAV | SF_FORMAT_PCM_24, {"cutoff=0.5"}},
  };
  std::printf(
      "%.0f s of stereo noise in %s, %d alternating runs each: median wall time, their ratio,\n"
      "median processor time (user and system, all cores), peak resident memory\n\n",
      seconds, folder.c_str(), runs);
  std::printf("%-34s %9s %9s %7s %9s %9s %12s %12s\n", "job", "qr47 (s)", "sox (s)", "ratio",
              "qr47 cpu", "sox cpu", "qr47 peak", "sox peak");
  try {
    int lastRate = 0, lastFormat = 0;
    const std::string input = base + "-in.wav", output = base + "-out.wav";
    for (const Job& job : jobs) {
      if (job.rate != lastRate || job.format != lastFormat) {
        makeInput(input, job.rate, job.format, seconds);
        lastRate = job.rate;
        lastFormat = job.format;
      }
      std::vector<std::string> render = {qr47, "-q", "render", input, output};
      for (const std::string& setting : job.settings) {
        render.push_back("--set");
        render.push_back(setting);
      }
      std::vector<std::string> sox = {"sox", input, output};
      sox.insert(sox.end(), kSox.begin(), kSox.end());
      std::vector<double> ours, theirs, ourCpu, theirCpu;
      long ourPeak = 0, theirPeak = 0;
      for (int run = 0; run < runs; ++run) {
        const Run a = timed(render);
        const Run b = timed(sox);
        ours.push_back(a.seconds);
        theirs.push_back(b.seconds);
        ourCpu.push_back(a.cpuSeconds);
        theirCpu.push_back(b.cpuSeconds);
        ourPeak = std::max(ourPeak, a.peakKiB);
        theirPeak = std::max(theirPeak, b.peakKiB);
      }
      std::printf("%-34s %9.3f %9.3f %6.2fx %9.3f %9.3f %8.1f MiB %8.1f MiB\n", job.name,
                  median(ours), median(theirs), median(ours) / median(theirs), median(ourCpu),
                  median(theirCpu), ourPeak / 1024.0, theirPeak / 1024.0);
      std::fflush(stdout);
    }
    std::remove(input.c_str());
    std::remove(output.c_str());
  } catch (const std::exception& error) {
    std::fprintf(stderr, "qr47_render_vs_sox: %s\n", error.what());
    return 1;
  }
  return 0;
}
