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
  void processReplacing(float** inputs, float** outputs, int32_t frames) override;        // [audio]
  void processDoubleReplacing(double** inputs, double** outputs, int32_t frames) override;  // [audio]
  void process(float** inputs, float** outputs, int32_t frames) override;                 // [audio]
  void getProgramName(char* name) override;                                  // [gui]
  bool getProgramNameIndexed(int32_t category, int32_t index, char* text) override;  // [gui]
  bool getEffectName(char* name) override;    // [gui]
  bool getProductString(char* text) override;  // [gui]

  // ---- property interface ----
  double getHostSampleRate() override { return getSampleRate(); }

 private:
  void build();
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
