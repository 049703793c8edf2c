// The library's two exported entry points: one routine under both names. Hosts look up
// VSTPluginMain first, then main; "main" cannot be defined by that name in C++, so it is the
// same routine given the assembler name "main".
#include "shell/CoreOstr.h"

extern "C" __attribute__((visibility("default"))) vst::AEffect* VSTPluginMain(
    vst::HostCallback host) {
  return CoreOstr::create(host);
}

extern "C" __attribute__((visibility("default"), alias("VSTPluginMain"))) vst::AEffect*
ostrelMainEntry(vst::HostCallback host) __asm__("main");
