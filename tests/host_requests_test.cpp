#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <vector>

#include "interface_numbers.h"
#include "mock_effect.h"

namespace qr47 {
namespace {

using ::testing::NiceMock;

struct Request {
  EffectRecord* record;
  std::int32_t code, index;
  std::intptr_t value;
  void* pointer;
  float opt;
};

// A host that records every request and answers with what the test sets.
std::vector<Request> requests;
std::intptr_t answer = 0;

std::intptr_t recordingHost(EffectRecord* record, std::int32_t code, std::int32_t index,
                            std::intptr_t value, void* pointer, float opt) {
  requests.push_back({record, code, index, value, pointer, opt});
  return answer;
}

class HostRequests : public ::testing::Test {
 protected:
  void SetUp() override {
    requests.clear();
    answer = 0;
  }
  NiceMock<MockEffect> effect{recordingHost};
  NiceMock<MockEffect> orphan{nullptr};

  void expectOneRequest(std::int32_t code, std::int32_t index, std::intptr_t value, float opt) {
    ASSERT_EQ(requests.size(), 1u);
    const Request& r = requests[0];
    EXPECT_EQ(r.record, effect.getRecord());
    EXPECT_EQ(r.code, code);
    EXPECT_EQ(r.index, index);
    EXPECT_EQ(r.value, value);
    EXPECT_EQ(r.pointer, nullptr);
    EXPECT_EQ(r.opt, opt);
    requests.clear();
  }
};

TEST_F(HostRequests, WithoutACallbackTheFallbacksAnswer) {
  EXPECT_EQ(orphan.queryHostVersion(), 1);
  EXPECT_EQ(orphan.queryCurrentUniqueId(), 0);
  EXPECT_EQ(orphan.requestHostIdle(), 0);
  for (std::int32_t pin : {0, 1, -1, 1000}) {
    EXPECT_TRUE(orphan.isInputConnected(pin));
    EXPECT_TRUE(orphan.isOutputConnected(pin));
  }
  EXPECT_CALL(orphan, setParameter(1, 0.5f));
  orphan.setParameterAndNotify(1, 0.5f);
  EXPECT_TRUE(requests.empty());
}

TEST_F(HostRequests, SetParameterAndNotifySetsFirstThenTellsTheHostOnce) {
  EXPECT_CALL(effect, setParameter(2, 0.75f)).WillOnce([] { EXPECT_TRUE(requests.empty()); });
  answer = 99;  // ignored
  effect.setParameterAndNotify(2, 0.75f);
  expectOneRequest(request::kParameterChanged, 2, 0, 0.75f);
}

TEST_F(HostRequests, HostVersionNeverAnswersZero) {
  for (std::intptr_t version : {0, 1, 2400, -5}) {
    answer = version;
    EXPECT_EQ(effect.queryHostVersion(), version == 0 ? 1 : version);
    expectOneRequest(request::kHostVersion, 0, 0, 0.0f);
  }
}

TEST_F(HostRequests, UniqueIdAndIdlePassTheAnswerThrough) {
  answer = -42;
  EXPECT_EQ(effect.queryCurrentUniqueId(), -42);
  expectOneRequest(request::kCurrentUniqueId, 0, 0, 0.0f);
  answer = 7;
  EXPECT_EQ(effect.requestHostIdle(), 7);
  expectOneRequest(request::kIdle, 0, 0, 0.0f);
}

TEST_F(HostRequests, PinConnectionIsTrueExactlyForAZeroAnswer) {
  for (std::intptr_t reply : {0, 1, -1}) {
    answer = reply;
    EXPECT_EQ(effect.isInputConnected(3), reply == 0);
    expectOneRequest(request::kPinConnected, 3, 0, 0.0f);
    EXPECT_EQ(effect.isOutputConnected(1), reply == 0);
    expectOneRequest(request::kPinConnected, 1, 1, 0.0f);
  }
}

TEST_F(HostRequests, EachEffectSendsItsOwnRecord) {
  NiceMock<MockEffect> second{recordingHost};
  effect.requestHostIdle();
  second.requestHostIdle();
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_EQ(requests[0].record, effect.getRecord());
  EXPECT_EQ(requests[1].record, second.getRecord());
  EXPECT_NE(requests[0].record, requests[1].record);
}

}  // namespace
}  // namespace qr47
