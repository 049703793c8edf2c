#include "host/Render.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace ostrelhost {

bool RenderStats::finite() const {
  return std::all_of(outputs.begin(), outputs.end(), [](const ChannelStats& c) { return c.finite; });
}

bool RenderStats::silent() const {
  return std::all_of(outputs.begin(), outputs.end(), [](const ChannelStats& c) { return c.peak < 1e-6; });
}

RenderStats renderSine(testhost::TestPlugin& plugin, const SineRender& how) {
  RenderStats stats;
  const int32_t block = std::max(how.blockSize, 1);
  const int64_t total = std::llround(std::max(how.seconds, 0.0) * how.sampleRate);
  testhost::AudioBus<float> in(plugin.numInputs(), block);
  testhost::AudioBus<float> out(plugin.numOutputs(), block);
  std::vector<double> sumSquares(static_cast<size_t>(out.channels()), 0.0);
  stats.outputs.assign(static_cast<size_t>(out.channels()), ChannelStats{});

  testhost::HostConfig& host = plugin.host()->config();
  host.playing = true;
  const double step = 2.0 * std::numbers::pi * how.frequency / how.sampleRate;
  for (int64_t done = 0; done < total;) {
    const auto n = static_cast<int32_t>(std::min<int64_t>(block, total - done));
    for (int32_t i = 0; i < n; ++i) {
      const auto v = static_cast<float>(how.amplitude * std::sin(step * static_cast<double>(done + i)));
      for (int32_t c = 0; c < in.channels(); ++c) in.channel(c)[i] = v;
    }
    out.fill(0.0f);
    if (!plugin.processReplacing(in, out, n)) break;
    stats.processed = true;
    for (int32_t c = 0; c < out.channels(); ++c) {
      ChannelStats& s = stats.outputs[static_cast<size_t>(c)];
      for (int32_t i = 0; i < n; ++i) {
        const double v = out.channel(c)[i];
        if (!std::isfinite(v)) {
          s.finite = false;
          continue;
        }
        sumSquares[static_cast<size_t>(c)] += v * v;
        s.peak = std::max(s.peak, std::fabs(v));
      }
    }
    done += n;
    stats.frames = done;
    host.samplePos += n;
  }
  host.playing = false;
  for (size_t c = 0; c < sumSquares.size(); ++c)
    if (stats.frames > 0) stats.outputs[c].rms = std::sqrt(sumSquares[c] / static_cast<double>(stats.frames));
  return stats;
}

}  // namespace ostrelhost
