// The module's main, with an allocator that can be made to fail.
#include "plugin_main.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <new>

#include "effect_base.h"

namespace {
bool failAllocations = false;
int allocations = 0;
}  // namespace

void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
  ++allocations;
  return failAllocations ? nullptr : std::malloc(size);
}
void* operator new(std::size_t size) {
  if (void* memory = std::malloc(size)) return memory;
  throw std::bad_alloc();
}
void operator delete(void* memory) noexcept {
  std::free(memory);
}
void operator delete(void* memory, std::size_t) noexcept {
  std::free(memory);
}

namespace qr47 {
namespace {

std::intptr_t hostVersion = 2400;
int versionRequests = 0;

std::intptr_t host(EffectRecord* record, std::int32_t request, std::int32_t index,
                   std::intptr_t value, void* pointer, float opt) {
  if (request == kHostVersion && record == nullptr && index == 0 && value == 0 &&
      pointer == nullptr && opt == 0.0f) {
    ++versionRequests;
  }
  return request == kHostVersion ? hostVersion : 0;
}

void closeEffect(EffectRecord* record) {
  EXPECT_EQ(record->dispatchEntry(record, kClose, 0, 0, nullptr, 0.0f), 1);
}

TEST(PluginMain, NoCallbackGivesNoEffect) {
  EXPECT_EQ(pluginMain(nullptr), nullptr);
}

TEST(PluginMain, AVersionOfZeroGivesNoEffectAndAllocatesNothing) {
  hostVersion = 0;
  allocations = versionRequests = 0;
  EXPECT_EQ(pluginMain(host), nullptr);
  EXPECT_EQ(versionRequests, 1);
  EXPECT_EQ(allocations, 0);
}

TEST(PluginMain, AnyOtherVersionGivesAnEffect) {
  for (std::intptr_t version : {1, -1, 2400}) {
    hostVersion = version;
    versionRequests = 0;
    EffectRecord* record = pluginMain(host);
    ASSERT_NE(record, nullptr);
    EXPECT_EQ(versionRequests, 1);
    EXPECT_EQ(record->signature, 0x56737450);  // 'VstP'
    // The rate the host sets is the one the bridge reports, for the texts that show time.
    record->dispatchEntry(record, 10, 0, 0, nullptr, 48000.5f);  // set the sample rate
    EXPECT_EQ(static_cast<EffectBase*>(record->object)->getSampleRate(), 48000.5f);
    closeEffect(record);
  }
}

TEST(PluginMain, AFailedAllocationGivesNoEffect) {
  hostVersion = 2400;
  failAllocations = true;
  allocations = 0;
  EXPECT_EQ(pluginMain(host), nullptr);
  failAllocations = false;
  EXPECT_EQ(allocations, 1);
}

}  // namespace
}  // namespace qr47
