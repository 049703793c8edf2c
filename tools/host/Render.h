// Runs audio through a plug-in instance in blocks and measures what comes out.
#pragma once

#include <cstdint>
#include <vector>

#include "testhost/TestHost.h"

namespace ostrelhost {

struct ChannelStats {
  double rms = 0.0;
  double peak = 0.0;
  bool finite = true;
};

struct RenderStats {
  bool processed = false;  // false when the plug-in offers no processReplacing
  int64_t frames = 0;
  std::vector<ChannelStats> outputs;

  bool finite() const;
  bool silent() const;  // every output's peak is below -120 dB
};

struct SineRender {
  double sampleRate = 44100.0;
  int32_t blockSize = 1024;
  double seconds = 1.0;
  double frequency = 440.0;
  double amplitude = 0.5;
};

// Feeds the same sine to every input through processReplacing, `blockSize` frames at a time,
// advancing the host's transport position; the instance must already be resumed.
RenderStats renderSine(testhost::TestPlugin& plugin, const SineRender& how);

}  // namespace ostrelhost
