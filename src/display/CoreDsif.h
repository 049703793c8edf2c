// The LCD-like display of one instance. Until its pages are built it only lays out the
// character image that the editor reads.
#pragma once

#include <array>
#include <cstddef>
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
  void refreshImage(std::vector<double>& image);       // [gui] the cells as they are now
  void selectControl(int32_t index);                   // [gui] the user control being edited
  void actOnRecord(const std::array<uint8_t, 52>& record);  // [gui] a menu choice
  void requestLoad(int32_t location);                  // [any] load a memory location

  int32_t selectedControl() const { return selectedControl_; }  // [any]
  int32_t requestedLocation() const { return requestedLocation_; }  // [any] -1: none

 private:
  CorePrcs* engine_;
  CoreDevq* events_;
  CoreBlnk* blink_;
  CoreSkin* skin_;
  void* instance_;
  int32_t selectedControl_ = 0;
  int32_t requestedLocation_ = -1;
};
