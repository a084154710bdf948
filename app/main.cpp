// qr47: an offline host for plug-in modules of this interface, QR47's own by default. It lists a
// plug-in's parameters and programs, renders audio files through it and draws its response.
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <limits>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "demo.h"
#include "interrupts.h"
#include "plugin_info.h"
#include "render.h"
#include "response_plot.h"

namespace {

using namespace qr47;

constexpr const char* kModuleName = "qr47-filter.so";
constexpr float kDefaultResponseRate = 44100.0f;
constexpr float kLowestResponseRate = 1000.0f;
constexpr float kHighestResponseRate = 768000.0f;
constexpr double kLongestTail = 3600.0;

// Exit statuses: success, a failure while working, a request the tool refuses before working.
constexpr int kFailure = 1;
constexpr int kUsageError = 2;

bool exists(const std::string& path) {
  return access(path.c_str(), R_OK) == 0;
}

std::string folderOfThisProgram() {
  std::vector<char> path(4096);
  const ssize_t length = readlink("/proc/self/exe", path.data(), path.size() - 1);
  if (length <= 0) return ".";
  const std::string exe(path.data(), static_cast<std::size_t>(length));
  return exe.substr(0, exe.find_last_of('/'));
}

// A name without a slash is a file in the current folder, never a search of the library path.
std::string modulePathFrom(const std::string& given) {
  return given.find('/') == std::string::npos ? "./" + given : given;
}

// The module built or installed beside this program, else where Linux hosts look for it.
std::string defaultModulePath() {
  const std::string here = folderOfThisProgram();
  std::vector<std::string> candidates = {here + "/" + kModuleName,
                                         here + "/../lib/vst/" + kModuleName};
  if (const char* paths = std::getenv("LXVST_PATH")) {
    std::string list = paths;
    for (std::size_t start = 0, end; start <= list.size(); start = end + 1) {
      end = list.find(':', start);
      if (end == std::string::npos) end = list.size();
      if (end > start) candidates.push_back(list.substr(start, end - start) + "/" + kModuleName);
    }
  }
  if (const char* home = std::getenv("HOME")) {
    candidates.push_back(std::string(home) + "/.vst/" + kModuleName);
  }
  candidates.push_back(std::string("/usr/lib/vst/") + kModuleName);
  for (const std::string& candidate : candidates) {
    if (exists(candidate)) return candidate;
  }
  throw std::runtime_error(
      std::string("no ") + kModuleName +
      " beside qr47, in LXVST_PATH, ~/.vst or /usr/lib/vst; give --plugin PATH");
}

// The options render and response share: program, settings, block size.
struct SettingsOptions {
  int program = -1;
  std::vector<std::string> settings;
  int blockSize = kDefaultRenderBlock;

  void addTo(CLI::App* command, const char* programHelp) {
    command->add_option("--program", program, programHelp)
        ->check(CLI::Range(0, std::numeric_limits<int>::max()));
    command
        ->add_option("--set", settings,
                     "Set a parameter: PARAM=VALUE, PARAM an index or a name (cutoff, q, type, "
                     "poles, lp, boost); VALUE a host value 0 to 1, or in the parameter's unit: "
                     "cutoff=1000Hz or 2.5kHz, q=70%, lp=50% or off, boost=+6dB or -inf, "
                     "type=notch (lowpass, highpass, bandpass), poles=4")
        ->allow_extra_args(false);
    command->add_option("--block", blockSize, "Frames per processing call")->capture_default_str();
  }

  RenderOptions resolve(const ParameterTable& table) const {
    RenderOptions options;
    options.program = program;
    options.blockSize = blockSize;
    for (const std::string& setting : settings)
      options.settings.push_back(parseSetting(table, setting));
    return options;
  }
};

ParameterTable tableOf(const PluginModule& module) {
  PluginInstance plugin(module);
  return parameterTableOf(plugin);
}

struct RenderRequest {
  std::vector<std::string> automations;
  std::string format;
  OutputFormat output;
  bool add = false;
  double tail = 0.0;
  std::string input, outputPath;
};

// Renders; false when the input held fewer frames than its header promised.
bool runRender(const PluginModule& module, const SettingsOptions& settings,
               const RenderRequest& request, bool quiet) {
  if (!(request.tail >= 0.0 && request.tail <= kLongestTail)) {
    throw std::invalid_argument("--tail " + std::to_string(request.tail) + " is outside 0 to " +
                                std::to_string(static_cast<int>(kLongestTail)) + " seconds");
  }
  const ParameterTable table = tableOf(module);
  RenderOptions options = settings.resolve(table);
  for (const std::string& text : request.automations)
    options.automations.push_back(parseAutomation(table, text));
  options.output = request.output;
  if (!request.format.empty()) options.output.sample = parseSampleFormat(request.format);
  options.accumulate = request.add;
  options.tailSeconds = request.tail;
  options.showProgress = !quiet && isatty(STDERR_FILENO) != 0;
  PluginInstance plugin(module);
  const RenderSummary summary = render(plugin, request.input, request.outputPath, options);
  if (!quiet)
    std::cerr << "qr47: rendered " << request.outputPath << ": " << describe(summary) << "\n";
  if (summary.inputFrames < summary.promisedFrames) {
    std::cerr << "qr47: " << request.input << " holds " << summary.inputFrames
              << " frames where its header promises " << summary.promisedFrames
              << "; rendered what it holds\n";
    return false;
  }
  return true;
}

void runResponse(const PluginModule& module, const SettingsOptions& settings,
                 const std::string& compare, float rate, bool csv, const std::string& output,
                 bool quiet) {
  if (!csv && output.empty()) throw std::invalid_argument("give an output .png or .svg, or --csv");
  if (!csv) planPicture(output);
  if (!(rate >= kLowestResponseRate && rate <= kHighestResponseRate)) {
    std::ostringstream message;
    message << "sample rate " << rate << " Hz is outside " << kLowestResponseRate << " to "
            << kHighestResponseRate << " Hz";
    throw std::invalid_argument(message.str());
  }
  const ParameterTable table = tableOf(module);
  const RenderOptions base = settings.resolve(table);
  std::vector<std::string> variants;
  if (compare == "types")
    variants = {"type=lowpass", "type=highpass", "type=bandpass", "type=notch"};
  if (compare == "poles") variants = {"poles=2", "poles=4"};
  if (variants.empty()) variants.push_back("");

  const ResponsePlot plot = measureResponses(module, rate, base, table, variants);
  if (csv) {
    std::cout << responsesCsv(plot.curves);
  } else {
    plotResponses(plot.curves, plot.title, rate / 2.0, output);
    if (!quiet) std::cerr << "qr47: wrote " << output << "\n";
  }
}

}  // namespace

int main(int argc, char** argv) {
  // Named, so that usage lines say "qr47" whatever path the tool was started by.
  CLI::App app{
      "qr47: render audio through the QR47 filter (or any plug-in module of its "
      "interface), list its parameters and programs, draw its response",
      "qr47"};
  app.require_subcommand(1);
  app.set_version_flag("--version", std::string("qr47 ") + QR47_VERSION);
  std::string modulePath;
  bool quiet = false;
  app.add_option("--plugin", modulePath,
                 "Plug-in module to load (default: qr47-filter.so beside qr47, in LXVST_PATH, "
                 "~/.vst or /usr/lib/vst); a name without a slash is a file in this folder");
  app.add_flag("-q,--quiet", quiet, "No progress and no summary; errors only");
  app.fallthrough();

  CLI::App* info = app.add_subcommand("info", "Show the plug-in's record, parameters and programs");
  bool json = false;
  SettingsOptions infoSettings;
  infoSettings.addTo(info, "Select program N before listing");
  info->add_flag("--json", json, "Print JSON for scripts");

  CLI::App* renderCommand =
      app.add_subcommand("render", "Render an audio file through the plug-in");
  RenderRequest request;
  bool noDither = false;
  SettingsOptions renderSettings;
  renderCommand
      ->add_option("IN", request.input, "Input file (WAV, AIFF, FLAC, Ogg; mono or stereo)")
      ->required();
  renderCommand
      ->add_option("OUT", request.outputPath,
                   "Output file, or - for standard output; its extension names the file type")
      ->required();
  renderSettings.addTo(renderCommand, "Select program N before rendering");
  renderCommand
      ->add_option("--automate", request.automations,
                   "Ramp a parameter: PARAM=T0:V0,T1:V1,... with times in seconds and values as "
                   "--set takes them (cutoff=0:500Hz,6:5kHz), ramped in host values")
      ->allow_extra_args(false);
  renderCommand->add_option("--tail", request.tail,
                            "Seconds of silence after the input, to ring out (0 to 3600)");
  renderCommand->add_option("--format", request.format,
                            "Sample format: 16-bit, 24-bit or float (default: the input's)");
  renderCommand->add_option("--type", request.output.type,
                            "File type, instead of the extension's: " + fileTypeList());
  renderCommand->add_flag("--no-dither", noDither, "Round 16-bit output without dither");
  renderCommand->add_flag("--add", request.add,
                          "Use the accumulating process call, into zeroed buffers");

  CLI::App* response = app.add_subcommand("response", "Measure and draw the magnitude response");
  std::string plot, compare;
  float rate = kDefaultResponseRate;
  bool csv = false;
  SettingsOptions responseSettings;
  response->add_option("OUT", plot, "Picture to write: .png or .svg");
  responseSettings.addTo(response, "Select program N before measuring");
  response->add_option("--compare", compare, "Overlay the filter types or the pole numbers")
      ->check(CLI::IsMember({"types", "poles"}));
  response->add_option("--rate", rate, "Sample rate in Hz")->capture_default_str();
  response->add_flag("--csv", csv, "Print frequency and magnitude as CSV instead of drawing");

  CLI::App* demo =
      app.add_subcommand("demo", "Render test material through each filter type and plot them");
  std::string folder = kDefaultDemoFolder;
  demo->add_option("DIR", folder, "Folder to write into")->capture_default_str();

  try {
    app.parse(argc, argv);
  } catch (const CLI::Success& done) {
    return app.exit(done);  // --help, --version
  } catch (const CLI::ParseError& error) {
    std::cerr << "qr47: " << error.what() << " (qr47 --help shows the usage)\n";
    return kUsageError;
  }

  handleInterrupts();
  try {
    const std::string path = modulePath.empty() ? defaultModulePath() : modulePathFrom(modulePath);
    const PluginModule module(path);
    if (*info) {
      PluginInstance plugin(module);
      preparePlugin(plugin, kDefaultResponseRate, infoSettings.resolve(parameterTableOf(plugin)));
      json ? printInfoJson(plugin, path, std::cout) : printInfo(plugin, path, std::cout);
    } else if (*renderCommand) {
      request.output.dither = !noDither;
      if (!runRender(module, renderSettings, request, quiet)) return kFailure;
    } else if (*response) {
      runResponse(module, responseSettings, compare, rate, csv, plot, quiet);
    } else if (*demo) {
      std::ostringstream silent;
      runDemo(module, folder, quiet ? silent : std::cerr);
    }
  } catch (const std::invalid_argument& error) {
    std::cerr << "qr47: " << error.what() << "\n";
    return kUsageError;
  } catch (const std::exception& error) {
    std::cerr << "qr47: " << error.what() << "\n";
    return kFailure;
  }
  return 0;
}
