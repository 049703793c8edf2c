// Instances built in-process through the entry routine, with a small host callback of the test's
// own, so that the process-wide state can be looked at directly.
#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <cstring>
#include <thread>
#include <vector>

#include "base/CoreFpmd.h"
#include "shell/CoreEngn.h"
#include "shell/CoreOstr.h"
#include "shell/CoreShrd.h"
#include "vst/VstAbi.h"

namespace {

// What the fake host answers; thread-local so that tests on several threads do not meet.
struct HostAnswers {
  intptr_t version = 2400;
  intptr_t sampleRate = 44100;
  intptr_t blockSize = 1024;
  bool reenterSampleRate = false;  // call set sample rate back from inside the rate request
  int calls = 0;
};
thread_local HostAnswers gHost;

intptr_t fakeHost(vst::AEffect* effect, int32_t opcode, int32_t, intptr_t, void*, float) {
  ++gHost.calls;
  switch (opcode) {
    case vst::audioMasterVersion: return gHost.version;
    case vst::audioMasterGetSampleRate:
      if (gHost.reenterSampleRate && effect)
        effect->dispatcher(effect, vst::effSetSampleRate, 0, 0, nullptr, 44100.0f);
      return gHost.sampleRate;
    case vst::audioMasterGetBlockSize: return gHost.blockSize;
    default: return 0;
  }
}

intptr_t dispatch(vst::AEffect* e, int32_t op, int32_t index = 0, intptr_t value = 0,
                  void* ptr = nullptr, float opt = 0.0f) {
  return e->dispatcher(e, op, index, value, ptr, opt);
}

class InstanceTest : public ::testing::Test {
 protected:
  void SetUp() override { gHost = HostAnswers{}; }
  void TearDown() override {
    CoreEngn::setMemoryTestBytes(20u * 1024u * 1024u + 24u);
    EXPECT_EQ(CoreShrd::instance().instanceCount(), 0);
  }
};

}  // namespace

TEST_F(InstanceTest, HostWithoutVersionGetsNoInstance) {
  gHost.version = 0;
  EXPECT_EQ(CoreOstr::create(&fakeHost), nullptr);
  EXPECT_EQ(CoreOstr::create(nullptr), nullptr);
  EXPECT_EQ(CoreShrd::instance().instanceCount(), 0);
}

TEST_F(InstanceTest, RecordOfABuiltInstance) {
  for (intptr_t version : {2400, 2}) {
    gHost.version = version;
    vst::AEffect* e = CoreOstr::create(&fakeHost);
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(e->magic, vst::kEffectMagic);
    EXPECT_EQ(e->numParams, 10);
    EXPECT_EQ(e->numPrograms, 1);
    EXPECT_EQ(e->numInputs, 2);
    EXPECT_EQ(e->numOutputs, 2);
    EXPECT_EQ(e->uniqueID, vst::fourCC('k', 'h', 'Z', 'j'));
    EXPECT_EQ(e->flags, vst::effFlagsCanMono | vst::effFlagsCanReplacing |
                            vst::effFlagsProgramChunks | vst::effFlagsCanDoubleReplacing);
    EXPECT_EQ(e->reserved1, 0);
    EXPECT_NE(e->processReplacing, nullptr);
    EXPECT_NE(e->processDoubleReplacing, nullptr);

    char name[64] = {};
    EXPECT_EQ(dispatch(e, vst::effGetEffectName, 0, 0, name), 1);
    EXPECT_STREQ(name, "test_shell");  // the base name of the file holding the code
    EXPECT_EQ(dispatch(e, vst::effGetProgramName, 0, 0, name), 0);
    EXPECT_STREQ(name, "Ostrel3");
    EXPECT_EQ(dispatch(e, 999), 0);  // unknown opcodes answer 0

    auto* self = static_cast<CoreOstr*>(vst::AudioEffectX::fromEffect(e));
    EXPECT_EQ(self->exchange().image.size(), 3190u);
    EXPECT_EQ(CoreShrd::instance().instanceCount(), 1);
    dispatch(e, vst::effClose);
  }
}

TEST_F(InstanceTest, ScannerHostsAreSurvived) {
  // Sample rate and block size answered 0; the rate request calls back into the plug-in.
  gHost.sampleRate = 0;
  gHost.blockSize = 0;
  gHost.reenterSampleRate = true;
  vst::AEffect* e = CoreOstr::create(&fakeHost);
  ASSERT_NE(e, nullptr);
  auto* self = static_cast<CoreOstr*>(vst::AudioEffectX::fromEffect(e));
  EXPECT_FLOAT_EQ(self->getSampleRate(), 44100.0f);
  // Requests before open, and open twice.
  EXPECT_EQ(dispatch(e, vst::effGetPlugCategory), 1);
  dispatch(e, vst::effOpen);
  dispatch(e, vst::effOpen);
  dispatch(e, vst::effMainsChanged, 0, 0);
  dispatch(e, vst::effClose);
}

TEST_F(InstanceTest, CloseThenOpenLeavesNoEngine) {
  vst::AEffect* e = CoreOstr::create(&fakeHost);
  ASSERT_NE(e, nullptr);
  auto* self = static_cast<CoreOstr*>(vst::AudioEffectX::fromEffect(e));
  self->close();
  EXPECT_EQ(self->core(), nullptr);
  EXPECT_EQ(CoreShrd::instance().instanceCount(), 0);
  self->open();
  EXPECT_TRUE(self->isOpen());
  EXPECT_EQ(self->core(), nullptr);
  // Processing without an engine gives silence and never reads the missing engine.
  float left[16], right[16], inL[16] = {1}, inR[16] = {1};
  std::fill(std::begin(left), std::end(left), 7.0f);
  std::fill(std::begin(right), std::end(right), 7.0f);
  float* in[2] = {inL, inR};
  float* out[2] = {left, right};
  e->processReplacing(e, in, out, 16);
  EXPECT_EQ(left[3], 0.0f);
  dispatch(e, vst::effClose);  // the destruction that always follows
}

TEST_F(InstanceTest, FailedMemoryTestKeepsTheDefaults) {
  CoreEngn::setMemoryTestBytes(static_cast<size_t>(1) << 62);
  vst::AEffect* e = CoreOstr::create(&fakeHost);
  ASSERT_NE(e, nullptr);
  auto* self = static_cast<CoreOstr*>(vst::AudioEffectX::fromEffect(e));
  EXPECT_TRUE(self->failedInstance());
  EXPECT_EQ(e->numInputs, 1);
  EXPECT_EQ(e->numOutputs, 2);
  EXPECT_EQ(e->uniqueID, vst::fourCC('N', 'o', 'E', 'f'));
  EXPECT_EQ(e->version, 1);
  EXPECT_EQ(e->flags, vst::effFlagsCanReplacing);
  EXPECT_EQ(CoreShrd::instance().instanceCount(), 0);
  double a[8], b[8];
  double* in[2] = {a, b};
  double* out[2] = {a, b};
  std::fill(std::begin(a), std::end(a), 1.0);
  e->processDoubleReplacing(e, in, out, 8);
  EXPECT_EQ(a[0], 0.0);
  EXPECT_EQ(e->getParameter(e, 0), 0.0f);
  dispatch(e, vst::effClose);
}

TEST_F(InstanceTest, InstancesShareThePoolAndRegistry) {
  vst::AEffect* first = CoreOstr::create(&fakeHost);
  ASSERT_NE(first, nullptr);
  CorePool* pool = CoreShrd::instance().sharedPool();
  ASSERT_NE(pool, nullptr);
  ASSERT_NE(CoreShrd::instance().sharedRegistry(), nullptr);
  vst::AEffect* second = CoreOstr::create(&fakeHost);
  ASSERT_NE(second, nullptr);
  EXPECT_EQ(CoreShrd::instance().instanceCount(), 2);
  EXPECT_EQ(CoreShrd::instance().sharedPool(), pool);
  dispatch(first, vst::effClose);
  EXPECT_EQ(CoreShrd::instance().instanceCount(), 1);
  EXPECT_EQ(CoreShrd::instance().sharedPool(), pool);  // still there for the second instance
  dispatch(second, vst::effClose);
  EXPECT_EQ(CoreShrd::instance().sharedPool(), nullptr);
  EXPECT_EQ(CoreShrd::instance().sharedRegistry(), nullptr);
}

TEST_F(InstanceTest, ManyCyclesOnTwoThreads) {
  std::atomic<int> made{0};
  auto cycle = [&] {
    gHost = HostAnswers{};
    for (int i = 0; i < 100; ++i) {
      vst::AEffect* e = CoreOstr::create(&fakeHost);
      if (!e) continue;
      ++made;
      dispatch(e, vst::effOpen);
      float buf[64] = {};
      float* io[2] = {buf, buf};
      e->processReplacing(e, io, io, 64);
      dispatch(e, vst::effClose);
    }
  };
  std::thread a(cycle), b(cycle);
  a.join();
  b.join();
  EXPECT_EQ(made.load(), 200);
}

TEST_F(InstanceTest, HostFloatingPointModesComeBack) {
  // Only the modes count; the status bits are raised by any arithmetic, the test's own too.
  auto modes = [] { return CoreFpmd::mxcsr() & ~0x3Fu; };
  const uint32_t before = modes();
  vst::AEffect* e = CoreOstr::create(&fakeHost);
  ASSERT_NE(e, nullptr);
  EXPECT_EQ(modes(), before);
  float in[32], out[32];
  for (int i = 0; i < 32; ++i) in[i] = std::sin(0.1f * static_cast<float>(i));
  float* ins[2] = {in, in};
  float* outs[2] = {out, out};
  e->processReplacing(e, ins, outs, 32);
  EXPECT_EQ(modes(), before);
  dispatch(e, vst::effClose);
}
