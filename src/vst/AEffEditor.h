// Editor side of the VST 2.4 interface: what the dispatcher's editor requests reach.
// On Linux the parent handed to open is an X11 window id.
#pragma once

#include <cstdint>

#include "vst/VstAbi.h"

namespace vst {

class AEffEditor {
 public:
  virtual ~AEffEditor() = default;

  // [gui] Stores the address of a rectangle that stays valid; false when there is none.
  virtual bool getRect(ERect** rect) {
    *rect = nullptr;
    return false;
  }
  virtual bool open(void* parent, intptr_t display) {  // [gui]
    (void)parent;
    (void)display;
    return false;
  }
  virtual void close() {}  // [gui]
  virtual void idle() {}   // [gui]
  virtual bool onKeyDown(int32_t character, intptr_t virtualKey, float modifiers) {  // [gui]
    (void)character;
    (void)virtualKey;
    (void)modifiers;
    return false;
  }
  virtual bool onKeyUp(int32_t character, intptr_t virtualKey, float modifiers) {  // [gui]
    (void)character;
    (void)virtualKey;
    (void)modifiers;
    return false;
  }
  virtual bool setKnobMode(int32_t mode) {  // [gui]
    (void)mode;
    return false;
  }
};

}  // namespace vst
