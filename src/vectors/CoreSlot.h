// A harmonic slot (H1 .. Hn, and the hybrid slot) or a raw slot of the loaded program: whether the
// program uses it, the root of its kernel tree and the slot's own flags.
#pragma once

#include <cstdint>
#include <memory>

#include "vectors/CoreVect.h"

class CoreSlot {
 public:
  CoreSlot() = default;
  CoreSlot(const CoreSlot&) = delete;
  CoreSlot& operator=(const CoreSlot&) = delete;

  void clear() {  // [control] frees the tree
    used = false;
    root.reset();
    secondSet = false;
    trainThreshold = 0.0;
  }

  bool used = false;
  std::unique_ptr<CoreVect> root;
  bool secondSet = false;        // the slot's FORCEOT2: the second fade-out/length set
  double trainThreshold = 0.0;   // linear
};
