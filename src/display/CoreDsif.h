// The LCD-like display of one instance. Until its pages are built it only lays out the
// character image that the editor reads.
#pragma once

#include <cstdint>
#include <vector>

class CoreBlnk;
class CoreDevq;
class CorePrcs;
class CoreSkin;

class CoreDsif {
 public:
  // One 8-byte cell per character of each of the four font layers.
  static constexpr int32_t kImageCells = 3190;

  CoreDsif(CorePrcs* engine, CoreDevq* events, CoreBlnk* blink, CoreSkin* skin, void* instance);  // [control]
  ~CoreDsif();
  CoreDsif(const CoreDsif&) = delete;
  CoreDsif& operator=(const CoreDsif&) = delete;

  void layoutImage(std::vector<double>& image) const;  // [control]

 private:
  CorePrcs* engine_;
  CoreDevq* events_;
  CoreBlnk* blink_;
  CoreSkin* skin_;
  void* instance_;
};
