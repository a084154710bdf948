#include "interrupts.h"

#include <unistd.h>

#include <atomic>
#include <climits>
#include <csignal>
#include <cstring>

namespace qr47 {
namespace {

constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP};
constexpr int kExitAfterSignal = 128;

// Two slots, so that a new path is complete before the handler can see it.
char gPaths[2][PATH_MAX];
std::atomic<int> gCurrent{-1};

void onInterrupt(int signal) {
  const int slot = gCurrent.load();
  if (slot >= 0) unlink(gPaths[slot]);
  _exit(kExitAfterSignal + signal);
}

}  // namespace

void handleInterrupts() {
  struct sigaction action {};
  action.sa_handler = onInterrupt;
  sigemptyset(&action.sa_mask);
  for (int signal : kSignals) sigaddset(&action.sa_mask, signal);
  for (int signal : kSignals) sigaction(signal, &action, nullptr);
}

void setTemporaryFile(const std::string& path) {
  if (path.empty() || path.size() >= PATH_MAX) {
    gCurrent.store(-1);
    return;
  }
  const int slot = gCurrent.load() == 0 ? 1 : 0;
  std::memcpy(gPaths[slot], path.c_str(), path.size() + 1);
  gCurrent.store(slot);
}

}  // namespace qr47
