// Fuzzes the host chunk entry of a whole instance: any bytes of any size reach setChunk the way
// a host hands them over, and the instance keeps answering.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "shell/CoreOstr.h"

namespace {

intptr_t host(vst::AEffect*, int32_t opcode, int32_t, intptr_t, void*, float) {
  if (opcode == vst::audioMasterVersion) return 2400;
  if (opcode == vst::audioMasterGetSampleRate) return 44100;
  return 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static vst::AEffect* effect = CoreOstr::create(&host);
  if (!effect) std::abort();
  // The host's buffer holds exactly the bytes it names, so a missing NUL is seen by the sanitizer.
  std::vector<uint8_t> chunk(data, data + size);
  effect->dispatcher(effect, vst::effSetChunk, 0, static_cast<intptr_t>(chunk.size()),
                     chunk.empty() ? nullptr : chunk.data(), 0.0f);
  void* out = nullptr;
  const intptr_t n = effect->dispatcher(effect, vst::effGetChunk, 0, 0, &out, 0.0f);
  if (n != 131072 || !out || std::memchr(out, 0, 131072) == nullptr) std::abort();
  return 0;
}
