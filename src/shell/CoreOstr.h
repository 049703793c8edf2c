// The plug-in object the host talks to. First base: the VST 2.4 effect; second base: the
// property interface. Building it builds the instance's engine core record and control thread.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "base/CoreSpin.h"
#include "base/CoreStrg.h"
#include "shell/CorePpwr.h"
#include "vst/AudioEffectX.h"

class CoreCtrl;
class CoreDevq;
class CoreEngn;
class CorePrcs;

class CoreOstr : public vst::AudioEffectX, public CorePpwr {
 public:
  static constexpr int32_t kNumParams = 10;
  static constexpr int32_t kNumPrograms = 1;

  // Values exchanged with the editor through the property interface.
  struct ExchangeBlock {
    std::array<uint8_t, 12> pointerRecord{};
    std::array<uint8_t, 104> status{};
    std::vector<double> image;  // the display's character image, one real per cell
    uint8_t byteValue = 0;
    std::array<uint8_t, 20> menuState{};
    std::vector<std::array<uint8_t, 52>> records;  // kept by the display
    int16_t index = 0;
    int32_t value = 0;
  };

  // [control] The entry point's work: null when the host gives no version, or on failure.
  static vst::AEffect* create(vst::HostCallback host);

  explicit CoreOstr(vst::HostCallback host);
  ~CoreOstr() override;

  bool failedInstance() const { return failed_; }            // [any]
  bool isOpen() const { return open_; }                      // [any]
  const CoreStrg& pluginName() const { return name_; }       // [any]
  int32_t reportedDelay() const { return reportedDelay_; }   // [any]
  CoreEngn* core() const { return core_.get(); }             // [any]
  CorePrcs* engine() const { return engine_; }               // [any]
  CoreCtrl* controlThread() const { return control_.get(); }  // [any]
  const ExchangeBlock& exchange() const { return exchange_; }  // [any]

  // ---- host requests ----
  void open() override;   // [gui]
  void close() override;  // [gui]
  void resume() override;  // [any]
  void setSampleRate(float rate) override;  // [gui]
  void setBlockSize(int32_t size) override;  // [gui]
  void suspend() override;                   // [any]
  void setParameter(int32_t index, float value) override;  // [any]
  float getParameter(int32_t index) override;              // [any]
  void getParameterName(int32_t index, char* text) override;     // [gui]
  void getParameterDisplay(int32_t index, char* text) override;  // [gui]
  void getParameterLabel(int32_t index, char* text) override;    // [gui]
  int32_t getChunk(void** data, bool isPreset) override;              // [gui]
  int32_t setChunk(void* data, int32_t size, bool isPreset) override;  // [gui]
  int32_t processEvents(vst::VstEvents* events) override;              // [audio]
  bool setSpeakerArrangement(vst::VstSpeakerArrangement* input,
                             vst::VstSpeakerArrangement* output) override;  // [gui]
  int32_t getGetTailSize() override;  // [gui]
  bool getVendorString(char* text) override;  // [gui]
  int32_t getVendorVersion() override { return 1200; }
  int32_t canDo(const char* text) override;  // [gui]
  int32_t getPlugCategory() override { return vst::kPlugCategEffect; }
  int32_t getNumMidiInputChannels() override { return 1; }
  void processReplacing(float** inputs, float** outputs, int32_t frames) override;        // [audio]
  void processDoubleReplacing(double** inputs, double** outputs, int32_t frames) override;  // [audio]
  void process(float** inputs, float** outputs, int32_t frames) override;                 // [audio]
  void getProgramName(char* name) override;                                  // [gui]
  bool getProgramNameIndexed(int32_t category, int32_t index, char* text) override;  // [gui]
  bool getEffectName(char* name) override;    // [gui]
  bool getProductString(char* text) override;  // [gui]

  // ---- property interface ----
  double getHostSampleRate() override { return getSampleRate(); }
  int32_t getPropertyData(int32_t number, int32_t flag, int32_t reserved, void* data) override;
  int32_t setPropertyData(int32_t number, int32_t flag, int32_t reserved, const void* data,
                          int32_t size) override;
  int32_t getPropertySize(int32_t number, int32_t flag, int32_t reserved, int32_t* size,
                          int32_t* variable) override;
  void parameterAutomated(int32_t index, float value) override;

  // [control] Reports parameters whose current value differs from the last one reported.
  void syncAutomation();
  // [any] Tells the host when the engine's delay compensation differs from what it was told.
  void reportLatency();

  static constexpr const char* kNoChunk = "NOCHUNK";
  static constexpr int32_t kChunkSize = 131072;
  // Property numbers.
  enum Property : int32_t {
    kControlState = 100000,  // + i, i = 0..9
    kDisplayEvent = 100100,
    kPointerRecord = 100101,
    kStatusSnapshot = 100102,
    kEditorCount = 100103,
    kCharacterImage = 100104,
    kByteValue = 100105,
    kMenuState = 100106,
    kRecordList = 100107,
    kRecordChoice = 100108,
    kIgnored = 100109,
    kControlScale = 100110,
  };

 private:
  void build();
  bool engineReady() const;  // instance and engine both built
  void tearDown();
  template <typename T>
  void processAudio(T** inputs, T** outputs, int32_t frames, bool replacing);

  CoreStrg name_;
  int32_t reportedDelay_ = 0;
  int32_t bankSelect_ = 0;
  bool failed_ = false;
  bool open_ = false;
  CorePrcs* engine_ = nullptr;
  CoreDevq* events_ = nullptr;
  std::unique_ptr<CoreEngn> core_;
  std::unique_ptr<CoreCtrl> control_;
  std::unique_ptr<CoreSpin> instanceLock_;
  ExchangeBlock exchange_;
};
