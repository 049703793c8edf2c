// Host requests, MIDI, speaker arrangements, properties and automation of an instance built
// in-process, so that the engine and the display behind the answers can be looked at.
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <thread>
#include <vector>

#include "base/CoreTime.h"
#include "display/CoreDevq.h"
#include "display/CoreDsif.h"
#include "programs/CoreProg.h"
#include "runtime/CorePrcs.h"
#include "shell/CoreCtrl.h"
#include "shell/CoreEngn.h"
#include "shell/CoreLswr.h"
#include "shell/CoreOstr.h"

namespace {

struct Automation {
  int32_t index;
  float value;
};
thread_local std::vector<Automation>* gAutomations = nullptr;
thread_local int gIoChanged = 0;

intptr_t host(vst::AEffect*, int32_t opcode, int32_t index, intptr_t, void*, float opt) {
  switch (opcode) {
    case vst::audioMasterVersion: return 2400;
    case vst::audioMasterGetSampleRate: return 48000;
    case vst::audioMasterAutomate:
      if (gAutomations) gAutomations->push_back({index, opt});
      return 0;
    case vst::audioMasterIOChanged: ++gIoChanged; return 1;
    default: return 0;
  }
}

class HostAdapterTest : public ::testing::Test {
 protected:
  void SetUp() override {
    gAutomations = &automations;
    effect = CoreOstr::create(&host);
    ASSERT_NE(effect, nullptr);
    self = static_cast<CoreOstr*>(vst::AudioEffectX::fromEffect(effect));
    engine = self->engine();
    ASSERT_NE(engine, nullptr);
  }
  void TearDown() override {
    effect->dispatcher(effect, vst::effClose, 0, 0, nullptr, 0.0f);
    gAutomations = nullptr;
  }
  intptr_t dispatch(int32_t op, int32_t index = 0, intptr_t value = 0, void* ptr = nullptr) {
    return effect->dispatcher(effect, op, index, value, ptr, 0.0f);
  }
  void sendMidi(std::initializer_list<std::array<uint8_t, 3>> messages, int32_t delta = 0) {
    std::vector<vst::VstMidiEvent> events;
    for (const auto& m : messages) {
      vst::VstMidiEvent e{};
      e.type = vst::kMidiType;
      e.byteSize = sizeof e;
      e.deltaFrames = delta;
      std::memcpy(e.midiData, m.data(), 3);
      events.push_back(e);
    }
    std::vector<char> block(sizeof(vst::VstEvents) + events.size() * sizeof(void*));
    auto* list = reinterpret_cast<vst::VstEvents*>(block.data());
    list->numEvents = static_cast<int32_t>(events.size());
    for (size_t i = 0; i < events.size(); ++i)
      list->events[i] = reinterpret_cast<vst::VstEvent*>(&events[i]);
    EXPECT_EQ(dispatch(vst::effProcessEvents, 0, 0, list), 1);
  }

  std::vector<Automation> automations;
  vst::AEffect* effect = nullptr;
  CoreOstr* self = nullptr;
  CorePrcs* engine = nullptr;
};

}  // namespace

TEST_F(HostAdapterTest, ParameterTexts) {
  // Names are cut to the interface's 8 bytes with the NUL: "Gain out" reaches the host as "Gain ou".
  const char* names[] = {"Mix 1", "Mix 2", "Mix 3", "Mix 4", "Mix 5",
                         "Mix 6", "Mix 7", "Mix 8", "Gain in", "Gain ou"};
  for (int32_t i = 0; i < 10; ++i) {
    char name[64], label[64], display[64];
    std::memset(name, 'z', sizeof name);
    dispatch(vst::effGetParamName, i, 0, name);
    dispatch(vst::effGetParamLabel, i, 0, label);
    dispatch(vst::effGetParamDisplay, i, 0, display);
    EXPECT_STREQ(name, names[i]);
    EXPECT_STREQ(label, i >= 8 ? "dB" : "");
    EXPECT_LT(std::strlen(display), 8u);  // cut to the published length
  }
  char display[64];
  dispatch(vst::effGetParamDisplay, 9, 0, display);
  EXPECT_STREQ(display, "6.0");  // a gain at the top of its range: 20 log10(2)
}

TEST_F(HostAdapterTest, ParametersWaitForTheBootAndThenMoveTheLiveSlot) {
  effect->setParameter(effect, 0, 0.75f);
  EXPECT_FLOAT_EQ(effect->getParameter(effect, 0), 0.5f);  // ignored while the boot is pending
  engine->setBootPending(false);
  effect->setParameter(effect, 0, 0.75f);
  EXPECT_FLOAT_EQ(effect->getParameter(effect, 0), 0.75f);
  EXPECT_DOUBLE_EQ(engine->program()->sources().value(CoreSrct::kMix1), 0.5);
  EXPECT_TRUE(engine->modified());
  effect->setParameter(effect, 10, 1.0f);  // out of range: nothing
  EXPECT_EQ(effect->getParameter(effect, 10), 0.0f);
}

TEST_F(HostAdapterTest, MidiBankProgramAndMixes) {
  engine->setBootPending(false);
  CoreDsif* display = self->core()->display();
  sendMidi({{0xB0, 32, 57}, {0xC0, 3, 0}});
  EXPECT_EQ(display->requestedLocation(), 5703);
  sendMidi({{0xB0, 32, 120}, {0xC3, 42, 0}});  // a bank of 100 or more resets to 0
  EXPECT_EQ(display->requestedLocation(), 42);
  // Controller 127 on channel 1 moves every mix of the default table; a note off does nothing.
  sendMidi({{0x80, 127, 100}});
  EXPECT_DOUBLE_EQ(engine->program()->userControl(0).getRaw(true), 0.0);
  sendMidi({{0xB0, 127, 127}});
  EXPECT_DOUBLE_EQ(engine->program()->userControl(0).getRaw(true), 1.0);
  EXPECT_DOUBLE_EQ(engine->program()->userControl(7).getRaw(true), 1.0);
  // A delayed event waits for its ticks.
  sendMidi({{0xB0, 127, 0}}, 100);
  EXPECT_EQ(engine->queuedMidi(), 1);
  engine->applyMidi(64);
  EXPECT_DOUBLE_EQ(engine->program()->userControl(0).getRaw(true), 1.0);
  engine->applyMidi(64);
  EXPECT_DOUBLE_EQ(engine->program()->userControl(0).getRaw(true), -1.0);
  // Short records are skipped, a null list is answered.
  vst::VstMidiEvent shortEvent{};
  shortEvent.type = vst::kMidiType;
  shortEvent.byteSize = 12;
  shortEvent.midiData[0] = static_cast<char>(0xB0);
  shortEvent.midiData[1] = 127;
  shortEvent.midiData[2] = 127;
  vst::VstEvents list{};
  list.numEvents = 1;
  list.events[0] = reinterpret_cast<vst::VstEvent*>(&shortEvent);
  EXPECT_EQ(dispatch(vst::effProcessEvents, 0, 0, &list), 1);
  EXPECT_DOUBLE_EQ(engine->program()->userControl(0).getRaw(true), -1.0);
  EXPECT_EQ(dispatch(vst::effProcessEvents, 0, 0, nullptr), 0);
}

TEST_F(HostAdapterTest, SideChainNeedsFourInputs) {
  vst::VstSpeakerArrangement in{}, out{};
  out.type = vst::kSpeakerArrStereo;
  in.type = vst::kSpeakerArr40Music;
  // This instance reports two inputs: the 4.0 arrangement is not taken.
  EXPECT_EQ(dispatch(vst::effSetSpeakerArrangement, 0, reinterpret_cast<intptr_t>(&in), &out), 0);
  ASSERT_EQ(effect->numInputs, 2);
  // Processing only ever reads the two inputs the host gave.
  float a[64] = {}, b[64] = {};
  float* inputs[2] = {a, b};
  float* outputs[2] = {a, b};
  effect->processReplacing(effect, inputs, outputs, 64);
  in.type = vst::kSpeakerArrStereo;
  EXPECT_EQ(dispatch(vst::effSetSpeakerArrangement, 0, reinterpret_cast<intptr_t>(&in), &out), 1);
  in.type = 7;
  EXPECT_EQ(dispatch(vst::effSetSpeakerArrangement, 0, reinterpret_cast<intptr_t>(&in), &out), 0);
  EXPECT_EQ(dispatch(vst::effSetSpeakerArrangement, 0, reinterpret_cast<intptr_t>(&in), nullptr), 0);
}

TEST_F(HostAdapterTest, Properties) {
  struct Case {
    int32_t number;
    int32_t size;
    int32_t get;
  };
  const Case cases[] = {
      {100000, 32, 0}, {100009, 32, 0}, {100010, -1, 11}, {100100, 20, 11}, {100101, 12, 0},
      {100102, 104, 0}, {100103, 1, 11}, {100104, 8 * 3190, 0}, {100105, 1, 0},
      {100106, 20, 0}, {100107, 0, 0}, {100108, 52, 11}, {100109, 1, 11}, {100110, 8, 11},
      {99999, -1, 11},
  };
  std::vector<uint8_t> buffer(8 * 3190 + 64);
  for (const Case& c : cases) {
    int32_t size = -1;
    EXPECT_EQ(self->getProperty(c.number, 0, 0, buffer.data(), &size), c.get) << c.number;
    if (c.size >= 0) {
      EXPECT_EQ(size, c.size) << c.number;
    }
  }
  int32_t size = 0;
  EXPECT_EQ(self->getProperty(100101, 1, 0, buffer.data(), &size), 11);  // flag must be 0
  EXPECT_EQ(self->getProperty(100101, 0, 0, nullptr, &size), 0);         // size only
  // Control state: taken over while the boot is pending; the reported value comes back.
  EXPECT_EQ(self->getProperty(100000, 0, 0, buffer.data(), &size), 0);
  EXPECT_EQ(buffer[0], 1);
  engine->setBootPending(false);
  uint8_t state[32] = {};
  state[2] = 1;
  const double reported = 0.25;
  std::memcpy(state + 8, &reported, 8);
  state[16] = 1;
  const double normalised = 0.8;
  std::memcpy(state + 24, &normalised, 8);
  EXPECT_EQ(self->setProperty(100003, 0, 0, state, 32), 0);
  EXPECT_EQ(self->getProperty(100003, 0, 0, buffer.data(), &size), 0);
  EXPECT_EQ(buffer[0], 0);
  double back = 0.0;
  std::memcpy(&back, buffer.data() + 8, 8);
  EXPECT_DOUBLE_EQ(back, 0.25);
  EXPECT_NEAR(engine->program()->userControl(3).getNormalized(false), 0.8, 1e-12);
  // Stored records come back; wrong sizes and null data are refused.
  uint8_t snapshot[104];
  for (int i = 0; i < 104; ++i) snapshot[i] = static_cast<uint8_t>(i);
  EXPECT_EQ(self->setProperty(100102, 0, 0, snapshot, 104), 0);
  EXPECT_EQ(self->getProperty(100102, 0, 0, buffer.data(), &size), 0);
  EXPECT_EQ(std::memcmp(buffer.data(), snapshot, 104), 0);
  EXPECT_EQ(self->setProperty(100102, 0, 0, snapshot, 50), 11);
  EXPECT_EQ(self->setProperty(100102, 0, 0, nullptr, 104), 11);
  // Display events queue; editor count never goes below 0; the control scale reaches the control.
  int32_t event[5] = {1, 2, 3, 4, 5};
  EXPECT_EQ(self->setProperty(100100, 0, 0, event, 20), 0);
  EXPECT_EQ(self->core()->eventQueue()->size(), 1u);
  uint8_t zero = 0, one = 1;
  self->setProperty(100103, 0, 0, &zero, 1);
  EXPECT_EQ(self->controlThread()->editorCount(), 0);
  self->setProperty(100103, 0, 0, &one, 1);
  EXPECT_EQ(self->controlThread()->editorCount(), 1);
  uint8_t scale[8] = {};
  scale[0] = 2;
  const int32_t travel = 160;
  std::memcpy(scale + 4, &travel, 4);
  EXPECT_EQ(self->setProperty(100110, 0, 0, scale, 8), 0);
  EXPECT_DOUBLE_EQ(engine->program()->userControl(2).stepSize(), 1.0 / 160);
}

TEST_F(HostAdapterTest, AutomationIsReportedOnceAndNotWhileTakenOver) {
  engine->setBootPending(false);
  CoreProg& program = *engine->program();
  self->syncAutomation();
  const size_t first = automations.size();  // the initial values differ from 0
  self->syncAutomation();
  EXPECT_EQ(automations.size(), first);  // nothing changed since
  program.userControl(4).setNormalized(0.9, true);
  self->syncAutomation();
  ASSERT_EQ(automations.size(), first + 1);
  EXPECT_EQ(automations.back().index, 4);
  EXPECT_FLOAT_EQ(automations.back().value, 0.9f);
  self->syncAutomation();  // the host's rounding of the value is not a change
  EXPECT_EQ(automations.size(), first + 1);
  program.userControl(5).takeOver(true);
  program.userControl(5).setNormalized(0.1, true);
  self->syncAutomation();
  EXPECT_EQ(automations.size(), first + 1);
}

TEST(ListenerTest, NotificationsArriveOnTheWorkersThread) {
  intptr_t (*cb)(vst::AEffect*, int32_t, int32_t, intptr_t, void*, float) = host;
  vst::AEffect* effect = CoreOstr::create(cb);
  ASSERT_NE(effect, nullptr);
  auto* self = static_cast<CoreOstr*>(vst::AudioEffectX::fromEffect(effect));
  std::atomic<int> received{0};
  std::atomic<bool> otherThread{false};
  const std::thread::id caller = std::this_thread::get_id();
  {
    CoreLswr worker(0.001, [&](const CoreLswr::Notification& n) {
      otherThread = std::this_thread::get_id() != caller;
      if (n.identity == 77) ++received;
    });
    std::array<uint8_t, 32> data{};
    data[0] = 77;
    const int32_t key = 100102;
    std::memcpy(data.data() + 16, &key, 4);
    self->addListener(CorePpwr::kChangeListener, &worker, data);
    EXPECT_EQ(self->listenerCount(CorePpwr::kChangeListener), 1u);
    self->notifyListeners(100102);
    self->notifyListeners(100101);  // another key: not heard
    for (int i = 0; i < 200 && received == 0; ++i) CoreTime::sleepMs(2);
    EXPECT_EQ(received.load(), 1);
    EXPECT_TRUE(otherThread.load());
  }
  // The worker removed itself when it went.
  EXPECT_EQ(self->listenerCount(CorePpwr::kChangeListener), 0u);
  effect->dispatcher(effect, vst::effClose, 0, 0, nullptr, 0.0f);
}
