// A small VST 2.4 host for tests and command-line tools: loads a plug-in library, creates
// instances through its entry point, answers the plug-in's host callback from a configurable
// state and records every callback it receives.
//
// Ownership: a TestHost owns the loaded library and must outlive nothing: when it is destroyed
// it closes every instance still open and unloads the library. A TestPlugin closes its instance
// when destroyed; after close the plug-in's record is never touched again.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "vst/VstAbi.h"

namespace testhost {

class TestPlugin;

// One host callback as the plug-in made it.
struct HostCall {
  vst::AEffect* effect = nullptr;  // null while the entry point runs (or when the plug-in passes 0)
  int32_t opcode = 0;
  int32_t index = 0;
  intptr_t value = 0;
  float opt = 0.0f;
  std::string text;  // the capability text of a can-do request
};

// What the host answers.
struct HostConfig {
  intptr_t version = 2400;           // opcode 1; scanners answer 2 or 0 too
  intptr_t sampleRate = 44100;       // opcode 16; scanners answer 0
  intptr_t blockSize = 1024;         // opcode 17; scanners answer 0
  intptr_t processLevel = 0;         // opcode 23 (vst::ProcessLevel)
  double tempo = 120.0;              // in the time info (opcode 7)
  bool timeInfo = true;              // false: opcode 7 answers 0
  bool playing = false;              // transport state in the time info
  double samplePos = 0.0;            // transport position in the time info
  std::string vendor = "Ostrel test host";  // opcode 32
  std::string product = "ostrel-host";      // opcode 33
  intptr_t vendorVersion = 1;               // opcode 34
  // Opcode 37: texts answered with 1; anything else is answered 0.
  std::vector<std::string> canDo = {"sendVstEvents", "sendVstMidiEvent", "sendVstTimeInfo",
                                    "receiveVstEvents", "receiveVstMidiEvent", "sizeWindow",
                                    "supplyIdle"};
};

class TestHost {
 public:
  TestHost();
  explicit TestHost(HostConfig config);
  ~TestHost();
  TestHost(const TestHost&) = delete;
  TestHost& operator=(const TestHost&) = delete;

  // Loading. Each returns false and sets error() on failure.
  bool load(const std::string& path);  // dlopen, then VSTPluginMain or main
  bool loaded() const { return entry_ != nullptr; }
  const std::string& path() const { return path_; }
  const std::string& error() const { return error_; }

  // Calls the entry point; null (and error()) when it returns no instance or a bad record.
  std::unique_ptr<TestPlugin> createInstance();

  // The answers; change them at any time (not while another thread is in the callback).
  HostConfig& config() { return config_; }
  const HostConfig& config() const { return config_; }

  // Callback record, safe from any thread.
  std::vector<HostCall> calls() const;
  std::vector<HostCall> calls(int32_t opcode) const;
  size_t count(int32_t opcode) const;
  bool received(int32_t opcode) const { return count(opcode) > 0; }
  std::vector<int32_t> opcodes() const;  // in the order received
  void clearCalls();

  // The host callback handed to every entry point (static: it finds the host from the effect).
  static intptr_t callback(vst::AEffect* effect, int32_t opcode, int32_t index, intptr_t value,
                           void* ptr, float opt);

 private:
  friend class TestPlugin;
  intptr_t answer(vst::AEffect* effect, int32_t opcode, int32_t index, intptr_t value, void* ptr,
                  float opt);
  void forget(TestPlugin* plugin);

  HostConfig config_;
  std::string path_;
  std::string error_;
  void* library_ = nullptr;
  vst::EntryProc entry_ = nullptr;
  std::vector<TestPlugin*> live_;
  vst::VstTimeInfo timeInfo_{};
  mutable std::mutex callsMutex_;
  std::vector<HostCall> calls_;
};

// Audio channels for one process call: `channels` buffers of `frames` samples each.
template <typename T>
class AudioBus {
 public:
  AudioBus(int32_t channels, int32_t frames);
  int32_t channels() const { return static_cast<int32_t>(data_.size()); }
  int32_t frames() const { return frames_; }
  T* channel(int32_t c) { return data_[static_cast<size_t>(c)].data(); }
  const T* channel(int32_t c) const { return data_[static_cast<size_t>(c)].data(); }
  T** pointers() { return pointers_.data(); }  // never null, even with no channels
  void fill(T value);

 private:
  int32_t frames_;
  std::vector<std::vector<T>> data_;
  std::vector<T*> pointers_;
};

// A text answer read through a guarded buffer.
struct PluginText {
  std::string text;       // up to the first NUL
  intptr_t result = 0;    // the dispatcher's answer
  bool written = false;   // the plug-in wrote at least one byte
  bool overran = false;   // bytes at or past the published limit were written
  bool terminated = false;  // a NUL lies inside the published limit
};

// A MIDI message for process events.
struct MidiMessage {
  int32_t deltaFrames = 0;
  uint8_t status = 0;
  uint8_t data1 = 0;
  uint8_t data2 = 0;
};

// One plug-in instance. Every call on a closed instance is a no-op answering 0 / false.
class TestPlugin {
 public:
  ~TestPlugin();
  TestPlugin(const TestPlugin&) = delete;
  TestPlugin& operator=(const TestPlugin&) = delete;

  vst::AEffect* effect() const { return effect_; }  // null once closed
  bool isOpen() const { return effect_ != nullptr; }
  TestHost* host() const { return host_; }

  // The record's fields (0 once closed).
  int32_t magic() const { return effect_ ? effect_->magic : 0; }
  int32_t numInputs() const { return effect_ ? effect_->numInputs : 0; }
  int32_t numOutputs() const { return effect_ ? effect_->numOutputs : 0; }
  int32_t numParams() const { return effect_ ? effect_->numParams : 0; }
  int32_t numPrograms() const { return effect_ ? effect_->numPrograms : 0; }
  int32_t flags() const { return effect_ ? effect_->flags : 0; }
  bool hasFlag(int32_t flag) const { return (flags() & flag) == flag; }
  int32_t uniqueId() const { return effect_ ? effect_->uniqueID : 0; }
  int32_t version() const { return effect_ ? effect_->version : 0; }
  int32_t initialDelay() const { return effect_ ? effect_->initialDelay : 0; }

  // The dispatcher, raw.
  intptr_t dispatch(int32_t opcode, int32_t index = 0, intptr_t value = 0, void* ptr = nullptr,
                    float opt = 0.0f);

  // Life cycle.
  intptr_t open();
  void close();  // opcode 1; the plug-in frees its record
  void setSampleRate(float rate);
  void setBlockSize(int32_t frames);
  void mainsChanged(bool on);
  void resume() { mainsChanged(true); }
  void suspend() { mainsChanged(false); }

  // Texts, each through a guarded buffer checked against its published limit.
  PluginText effectName();
  PluginText vendorString();
  PluginText productString();
  PluginText paramName(int32_t index);
  PluginText paramLabel(int32_t index);
  PluginText paramDisplay(int32_t index);
  PluginText programName();
  PluginText text(int32_t opcode, int32_t index, int32_t limit);  // any text request

  // Parameters and queries.
  float getParameter(int32_t index);
  void setParameter(int32_t index, float value);
  intptr_t canDo(const std::string& capability);
  intptr_t plugCategory();
  intptr_t vendorVersion();
  intptr_t vstVersion();
  intptr_t tailSize();
  bool editorRect(vst::ERect& rect);  // false when the plug-in gives none

  // State.
  std::vector<uint8_t> getChunk(bool programOnly = false);
  intptr_t setChunk(const std::vector<uint8_t>& data, bool programOnly = false);

  // Events: the list stays valid until the next processEvents call.
  intptr_t processEvents(const std::vector<MidiMessage>& messages);

  // Speaker arrangement: a record of `channels` speakers of the given arrangement type.
  intptr_t setSpeakerArrangement(int32_t inType, int32_t inChannels, int32_t outType,
                                 int32_t outChannels);

  // Audio. Each returns false without calling the plug-in when the function is absent, a bus
  // has fewer channels than the plug-in declares, or `frames` exceeds a bus.
  bool processReplacing(AudioBus<float>& in, AudioBus<float>& out, int32_t frames);
  bool processDoubleReplacing(AudioBus<double>& in, AudioBus<double>& out, int32_t frames);
  bool processAccumulating(AudioBus<float>& in, AudioBus<float>& out, int32_t frames);

 private:
  friend class TestHost;
  TestPlugin(TestHost* host, vst::AEffect* effect) : host_(host), effect_(effect) {}
  template <typename T>
  bool fits(const AudioBus<T>& in, const AudioBus<T>& out, int32_t frames) const;

  TestHost* host_;
  vst::AEffect* effect_;
  std::vector<vst::VstMidiEvent> midi_;
  std::vector<uintptr_t> eventList_;  // storage for a VstEvents with room for every pointer
  std::unique_ptr<vst::VstSpeakerArrangement> inArrangement_;
  std::unique_ptr<vst::VstSpeakerArrangement> outArrangement_;
};

// Four-character form of a unique ID ('.' for characters that are not printable).
std::string fourCCText(int32_t id);

}  // namespace testhost
