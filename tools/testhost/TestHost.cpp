#include "testhost/TestHost.h"

#include <dlfcn.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <new>
#include <unordered_map>

namespace testhost {
namespace {

// Which host each live instance belongs to. While an entry point runs, its record is not yet
// known (or not yet registered), so the host being created on this thread answers instead.
std::mutex registryMutex;
std::unordered_map<vst::AEffect*, TestHost*>& registry() {
  static std::unordered_map<vst::AEffect*, TestHost*> map;
  return map;
}
thread_local TestHost* hostBeingCreated = nullptr;

void registerEffect(vst::AEffect* effect, TestHost* host) {
  std::lock_guard<std::mutex> lock(registryMutex);
  registry()[effect] = host;
}

void unregisterEffect(vst::AEffect* effect) {
  std::lock_guard<std::mutex> lock(registryMutex);
  registry().erase(effect);
}

TestHost* hostOf(vst::AEffect* effect) {
  if (effect) {
    std::lock_guard<std::mutex> lock(registryMutex);
    const auto it = registry().find(effect);
    if (it != registry().end()) return it->second;
  }
  return hostBeingCreated;
}

void copyText(void* ptr, const std::string& text, size_t limit) {
  if (!ptr || limit == 0) return;
  const size_t n = std::min(text.size(), limit - 1);
  std::memcpy(ptr, text.data(), n);
  static_cast<char*>(ptr)[n] = '\0';
}

std::string hex32(int32_t v) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "0x%08X", static_cast<uint32_t>(v));
  return buf;
}

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kSanitizedForLeaks = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool kSanitizedForLeaks = true;
#else
constexpr bool kSanitizedForLeaks = false;
#endif
#else
constexpr bool kSanitizedForLeaks = false;
#endif

constexpr size_t kGuardBytes = 1024;
constexpr char kGuardByte = static_cast<char>(0xA5);
constexpr size_t kMaxCanDoText = 256;
constexpr intptr_t kMaxChunkBytes = intptr_t{1} << 30;

}  // namespace

// ---------------------------------------------------------------------------------------------
// TestHost

TestHost::TestHost() = default;

TestHost::TestHost(HostConfig config) : config_(std::move(config)) {}

TestHost::~TestHost() {
  const std::vector<TestPlugin*> live = live_;
  for (TestPlugin* plugin : live) {
    plugin->close();
    plugin->host_ = nullptr;
  }
  live_.clear();
  // Under AddressSanitizer the library stays mapped: memory its globals still hold would
  // otherwise be reported as leaked once it is unloaded.
  if (library_ && !kSanitizedForLeaks) dlclose(library_);
}

bool TestHost::load(const std::string& path) {
  if (library_) {
    error_ = "a plug-in library is already loaded: '" + path_ + "'";
    return false;
  }
  path_ = path;
  std::error_code ec;
  if (!std::filesystem::exists(path, ec)) {
    error_ = "cannot load '" + path + "': no such file";
    return false;
  }
  dlerror();
  void* library = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!library) {
    const char* why = dlerror();
    error_ = "cannot load '" + path + "': " + (why ? why : "unknown dlopen error");
    return false;
  }
  void* symbol = dlsym(library, "VSTPluginMain");
  if (!symbol) symbol = dlsym(library, "main");
  if (!symbol) {
    dlclose(library);
    error_ = "'" + path + "' exports neither VSTPluginMain nor main: not a VST 2 plug-in";
    return false;
  }
  library_ = library;
  entry_ = reinterpret_cast<vst::EntryProc>(symbol);
  error_.clear();
  return true;
}

std::unique_ptr<TestPlugin> TestHost::createInstance() {
  if (!entry_) {
    error_ = "no plug-in library is loaded";
    return nullptr;
  }
  TestHost* const previous = hostBeingCreated;
  hostBeingCreated = this;
  vst::AEffect* const effect = entry_(&TestHost::callback);
  hostBeingCreated = previous;

  if (!effect) {
    error_ = "the entry point of '" + path_ + "' returned no instance";
    return nullptr;
  }
  // A record that fails these checks is left alone: nothing about it can be trusted.
  if (effect->magic != vst::kEffectMagic) {
    error_ = "the instance's magic is " + hex32(effect->magic) + ", not " +
             hex32(vst::kEffectMagic);
    return nullptr;
  }
  if (!effect->dispatcher) {
    error_ = "the instance has no dispatcher";
    return nullptr;
  }
  registerEffect(effect, this);
  std::unique_ptr<TestPlugin> plugin(new TestPlugin(this, effect));
  live_.push_back(plugin.get());
  error_.clear();
  return plugin;
}

void TestHost::forget(TestPlugin* plugin) {
  live_.erase(std::remove(live_.begin(), live_.end(), plugin), live_.end());
}

std::vector<HostCall> TestHost::calls() const {
  std::lock_guard<std::mutex> lock(callsMutex_);
  return calls_;
}

std::vector<HostCall> TestHost::calls(int32_t opcode) const {
  std::lock_guard<std::mutex> lock(callsMutex_);
  std::vector<HostCall> out;
  for (const HostCall& c : calls_)
    if (c.opcode == opcode) out.push_back(c);
  return out;
}

size_t TestHost::count(int32_t opcode) const {
  std::lock_guard<std::mutex> lock(callsMutex_);
  return static_cast<size_t>(std::count_if(calls_.begin(), calls_.end(),
                                           [opcode](const HostCall& c) { return c.opcode == opcode; }));
}

std::vector<int32_t> TestHost::opcodes() const {
  std::lock_guard<std::mutex> lock(callsMutex_);
  std::vector<int32_t> out;
  out.reserve(calls_.size());
  for (const HostCall& c : calls_) out.push_back(c.opcode);
  return out;
}

void TestHost::clearCalls() {
  std::lock_guard<std::mutex> lock(callsMutex_);
  calls_.clear();
}

intptr_t TestHost::callback(vst::AEffect* effect, int32_t opcode, int32_t index, intptr_t value,
                            void* ptr, float opt) {
  try {
    TestHost* const host = hostOf(effect);
    return host ? host->answer(effect, opcode, index, value, ptr, opt) : 0;
  } catch (...) {
    return 0;  // nothing may unwind into the plug-in
  }
}

intptr_t TestHost::answer(vst::AEffect* effect, int32_t opcode, int32_t index, intptr_t value,
                          void* ptr, float opt) {
  HostCall call{effect, opcode, index, value, opt, {}};
  if (opcode == vst::audioMasterCanDo && ptr) {
    const char* text = static_cast<const char*>(ptr);
    call.text.assign(text, strnlen(text, kMaxCanDoText));
  }
  {
    std::lock_guard<std::mutex> lock(callsMutex_);
    calls_.push_back(call);
  }

  switch (opcode) {
    case vst::audioMasterAutomate:
      return 0;
    case vst::audioMasterVersion:
      return config_.version;
    case vst::audioMasterIdle:
      return 0;
    case vst::audioMasterWantMidi:
      return 0;
    case vst::audioMasterGetTime: {
      if (!config_.timeInfo) return 0;
      vst::VstTimeInfo& t = timeInfo_;
      t = vst::VstTimeInfo{};
      t.samplePos = config_.samplePos;
      t.sampleRate = static_cast<double>(config_.sampleRate);
      t.nanoSeconds = static_cast<double>(
          std::chrono::duration_cast<std::chrono::nanoseconds>(
              std::chrono::steady_clock::now().time_since_epoch())
              .count());
      t.flags = vst::kVstNanosValid | (config_.playing ? vst::kVstTransportPlaying : 0);
      if (value & vst::kVstTempoValid) {
        t.tempo = config_.tempo;
        t.flags |= vst::kVstTempoValid;
      }
      if ((value & (vst::kVstPpqPosValid | vst::kVstBarsValid)) && t.sampleRate > 0.0) {
        t.ppqPos = t.samplePos / t.sampleRate * config_.tempo / 60.0;
        t.flags |= vst::kVstPpqPosValid;
        if (value & vst::kVstBarsValid) {
          t.barStartPos = std::floor(t.ppqPos / 4.0) * 4.0;
          t.flags |= vst::kVstBarsValid;
        }
      }
      if (value & vst::kVstTimeSigValid) {
        t.timeSigNumerator = 4;
        t.timeSigDenominator = 4;
        t.flags |= vst::kVstTimeSigValid;
      }
      return reinterpret_cast<intptr_t>(&timeInfo_);
    }
    case vst::audioMasterIOChanged:
      return 0;
    case vst::audioMasterSizeWindow:
      return 1;
    case vst::audioMasterGetSampleRate:
      return config_.sampleRate;
    case vst::audioMasterGetBlockSize:
      return config_.blockSize;
    case vst::audioMasterGetCurrentProcessLevel:
      return config_.processLevel;
    case vst::audioMasterGetVendorString:
      copyText(ptr, config_.vendor, vst::kVendorStringLength);
      return ptr ? 1 : 0;
    case vst::audioMasterGetProductString:
      copyText(ptr, config_.product, vst::kProductStringLength);
      return ptr ? 1 : 0;
    case vst::audioMasterGetVendorVersion:
      return config_.vendorVersion;
    case vst::audioMasterCanDo:
      return std::find(config_.canDo.begin(), config_.canDo.end(), call.text) !=
                     config_.canDo.end()
                 ? 1
                 : 0;
    default:
      return 0;
  }
}

// ---------------------------------------------------------------------------------------------
// AudioBus

template <typename T>
AudioBus<T>::AudioBus(int32_t channels, int32_t frames)
    : frames_(std::max(frames, 0)),
      data_(static_cast<size_t>(std::max(channels, 0)),
            std::vector<T>(static_cast<size_t>(std::max(frames, 0)) + 1, T(0))),
      pointers_(std::max<size_t>(data_.size(), 1), nullptr) {
  for (size_t c = 0; c < data_.size(); ++c) pointers_[c] = data_[c].data();
}

template <typename T>
void AudioBus<T>::fill(T value) {
  for (auto& ch : data_) std::fill(ch.begin(), ch.end(), value);
}

template class AudioBus<float>;
template class AudioBus<double>;

// ---------------------------------------------------------------------------------------------
// TestPlugin

TestPlugin::~TestPlugin() {
  close();
  if (host_) host_->forget(this);
}

intptr_t TestPlugin::dispatch(int32_t opcode, int32_t index, intptr_t value, void* ptr,
                              float opt) {
  if (!effect_) return 0;
  if (opcode == vst::effClose) {
    close();
    return 0;
  }
  return effect_->dispatcher(effect_, opcode, index, value, ptr, opt);
}

intptr_t TestPlugin::open() { return dispatch(vst::effOpen); }

void TestPlugin::close() {
  vst::AEffect* const effect = effect_;
  if (!effect) return;
  effect->dispatcher(effect, vst::effClose, 0, 0, nullptr, 0.0f);
  // The plug-in has freed its record: forget it before anything could read it.
  effect_ = nullptr;
  unregisterEffect(effect);
}

void TestPlugin::setSampleRate(float rate) { dispatch(vst::effSetSampleRate, 0, 0, nullptr, rate); }

void TestPlugin::setBlockSize(int32_t frames) { dispatch(vst::effSetBlockSize, 0, frames); }

void TestPlugin::mainsChanged(bool on) { dispatch(vst::effMainsChanged, 0, on ? 1 : 0); }

PluginText TestPlugin::text(int32_t opcode, int32_t index, int32_t limit) {
  PluginText out;
  if (!effect_) return out;
  const size_t published = static_cast<size_t>(std::max(limit, 1));
  std::vector<char> buffer(published + kGuardBytes, kGuardByte);
  out.result = dispatch(opcode, index, 0, buffer.data());
  const auto nul = std::find(buffer.begin(), buffer.end(), '\0');
  if (nul != buffer.end()) out.text.assign(buffer.begin(), nul);
  out.terminated = nul != buffer.end() && static_cast<size_t>(nul - buffer.begin()) < published;
  out.written = std::any_of(buffer.begin(), buffer.end(), [](char c) { return c != kGuardByte; });
  out.overran = std::any_of(buffer.begin() + static_cast<std::ptrdiff_t>(published), buffer.end(),
                            [](char c) { return c != kGuardByte; });
  return out;
}

PluginText TestPlugin::effectName() { return text(vst::effGetEffectName, 0, vst::kEffectNameLength); }
PluginText TestPlugin::vendorString() {
  return text(vst::effGetVendorString, 0, vst::kVendorStringLength);
}
PluginText TestPlugin::productString() {
  return text(vst::effGetProductString, 0, vst::kProductStringLength);
}
PluginText TestPlugin::paramName(int32_t index) {
  return text(vst::effGetParamName, index, vst::kParamNameLength);
}
PluginText TestPlugin::paramLabel(int32_t index) {
  return text(vst::effGetParamLabel, index, vst::kParamLabelLength);
}
PluginText TestPlugin::paramDisplay(int32_t index) {
  return text(vst::effGetParamDisplay, index, vst::kParamDisplayLength);
}
PluginText TestPlugin::programName() {
  return text(vst::effGetProgramName, 0, vst::kProgramNameLength);
}

float TestPlugin::getParameter(int32_t index) {
  return effect_ && effect_->getParameter ? effect_->getParameter(effect_, index) : 0.0f;
}

void TestPlugin::setParameter(int32_t index, float value) {
  if (effect_ && effect_->setParameter) effect_->setParameter(effect_, index, value);
}

intptr_t TestPlugin::canDo(const std::string& capability) {
  std::string copy = capability;  // the dispatcher takes a non-const pointer
  return dispatch(vst::effCanDo, 0, 0, copy.data());
}

intptr_t TestPlugin::plugCategory() { return dispatch(vst::effGetPlugCategory); }
intptr_t TestPlugin::vendorVersion() { return dispatch(vst::effGetVendorVersion); }
intptr_t TestPlugin::vstVersion() { return dispatch(vst::effGetVstVersion); }
intptr_t TestPlugin::tailSize() { return dispatch(vst::effGetTailSize); }

bool TestPlugin::editorRect(vst::ERect& rect) {
  vst::ERect* given = nullptr;
  dispatch(vst::effEditGetRect, 0, 0, &given);
  if (!given) return false;
  rect = *given;
  return true;
}

std::vector<uint8_t> TestPlugin::getChunk(bool programOnly) {
  void* data = nullptr;
  const intptr_t size = dispatch(vst::effGetChunk, programOnly ? 1 : 0, 0, &data);
  if (!data || size <= 0 || size > kMaxChunkBytes) return {};
  const auto* bytes = static_cast<const uint8_t*>(data);
  return std::vector<uint8_t>(bytes, bytes + size);
}

intptr_t TestPlugin::setChunk(const std::vector<uint8_t>& data, bool programOnly) {
  std::vector<uint8_t> copy = data;
  return dispatch(vst::effSetChunk, programOnly ? 1 : 0, static_cast<intptr_t>(copy.size()),
                  copy.empty() ? nullptr : copy.data());
}

intptr_t TestPlugin::processEvents(const std::vector<MidiMessage>& messages) {
  if (!effect_) return 0;
  midi_.assign(messages.size(), vst::VstMidiEvent{});
  for (size_t i = 0; i < messages.size(); ++i) {
    vst::VstMidiEvent& e = midi_[i];
    e.type = vst::kMidiType;
    e.byteSize = sizeof(vst::VstMidiEvent);
    e.deltaFrames = messages[i].deltaFrames;
    e.flags = 1;  // real-time
    e.midiData[0] = static_cast<char>(messages[i].status);
    e.midiData[1] = static_cast<char>(messages[i].data1);
    e.midiData[2] = static_cast<char>(messages[i].data2);
  }
  // The list is declared with two pointers; it is allocated with room for all of them.
  constexpr size_t kHeadWords = offsetof(vst::VstEvents, events) / sizeof(uintptr_t);
  eventList_.assign(kHeadWords + std::max<size_t>(messages.size(), 2), 0);
  auto* list = new (eventList_.data()) vst::VstEvents{};
  list->numEvents = static_cast<int32_t>(messages.size());
  auto** slots = reinterpret_cast<vst::VstEvent**>(eventList_.data() + kHeadWords);
  for (size_t i = 0; i < midi_.size(); ++i) slots[i] = reinterpret_cast<vst::VstEvent*>(&midi_[i]);
  return dispatch(vst::effProcessEvents, 0, 0, list);
}

namespace {

std::unique_ptr<vst::VstSpeakerArrangement> makeArrangement(int32_t type, int32_t channels) {
  struct Speaker {
    int32_t type;
    const char* name;
  };
  static const Speaker kMono[] = {{0, "M"}};
  static const Speaker kStereo[] = {{1, "L"}, {2, "R"}};
  static const Speaker kQuadro[] = {{1, "L"}, {2, "R"}, {5, "Ls"}, {6, "Rs"}};
  static const Speaker kCine4[] = {{1, "L"}, {2, "R"}, {3, "C"}, {9, "S"}};
  const Speaker* known = nullptr;
  int32_t knownCount = 0;
  switch (type) {
    case vst::kSpeakerArrMono: known = kMono, knownCount = 1; break;
    case vst::kSpeakerArrStereo: known = kStereo, knownCount = 2; break;
    case vst::kSpeakerArr40Music: known = kQuadro, knownCount = 4; break;
    case vst::kSpeakerArr40Cine: known = kCine4, knownCount = 4; break;
    default: break;
  }
  auto arr = std::make_unique<vst::VstSpeakerArrangement>();
  *arr = vst::VstSpeakerArrangement{};
  arr->type = type;
  arr->numChannels = channels;
  for (int32_t i = 0; i < channels; ++i) {
    vst::VstSpeakerProperties& s = arr->speakers[i];
    if (i < knownCount) {
      s.type = known[i].type;
      std::snprintf(s.name, sizeof s.name, "%s", known[i].name);
    } else {
      s.type = 0x7FFFFFFF;  // undefined
      std::snprintf(s.name, sizeof s.name, "%d", static_cast<int>(i + 1));
    }
  }
  return arr;
}

constexpr int32_t kMaxArrangementChannels = 8;  // what the declared record holds

}  // namespace

intptr_t TestPlugin::setSpeakerArrangement(int32_t inType, int32_t inChannels, int32_t outType,
                                           int32_t outChannels) {
  if (!effect_ || inChannels < 0 || outChannels < 0 || inChannels > kMaxArrangementChannels ||
      outChannels > kMaxArrangementChannels)
    return 0;
  inArrangement_ = makeArrangement(inType, inChannels);
  outArrangement_ = makeArrangement(outType, outChannels);
  return dispatch(vst::effSetSpeakerArrangement, 0,
                  reinterpret_cast<intptr_t>(inArrangement_.get()), outArrangement_.get());
}

template <typename T>
bool TestPlugin::fits(const AudioBus<T>& in, const AudioBus<T>& out, int32_t frames) const {
  return effect_ && frames >= 0 && in.channels() >= effect_->numInputs &&
         out.channels() >= effect_->numOutputs && frames <= in.frames() && frames <= out.frames();
}

bool TestPlugin::processReplacing(AudioBus<float>& in, AudioBus<float>& out, int32_t frames) {
  if (!fits(in, out, frames) || !effect_->processReplacing) return false;
  effect_->processReplacing(effect_, in.pointers(), out.pointers(), frames);
  return true;
}

bool TestPlugin::processDoubleReplacing(AudioBus<double>& in, AudioBus<double>& out,
                                        int32_t frames) {
  if (!fits(in, out, frames) || !effect_->processDoubleReplacing) return false;
  effect_->processDoubleReplacing(effect_, in.pointers(), out.pointers(), frames);
  return true;
}

bool TestPlugin::processAccumulating(AudioBus<float>& in, AudioBus<float>& out, int32_t frames) {
  if (!fits(in, out, frames) || !effect_->process) return false;
  effect_->process(effect_, in.pointers(), out.pointers(), frames);
  return true;
}

std::string fourCCText(int32_t id) {
  std::string s(4, '.');
  const auto u = static_cast<uint32_t>(id);
  for (int i = 0; i < 4; ++i) {
    const auto c = static_cast<unsigned char>(u >> (24 - 8 * i));
    if (c >= 0x20 && c < 0x7F) s[static_cast<size_t>(i)] = static_cast<char>(c);
  }
  return s;
}

}  // namespace testhost
