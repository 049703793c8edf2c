#include "runtime/CorePrcs.h"

CorePrcs::CorePrcs(CorePool* pool, const CoreStrg& codeFolder, int32_t sampleRate, CoreBlnk* blink,
                   const CoreStrg& moduleName, CoreFsys* fsys, const CoreStrg&)
    : pool_(pool),
      codeFolder_(codeFolder),
      moduleName_(moduleName),
      blink_(blink),
      fsys_(fsys),
      rate_(sampleRate),
      hostRate_(sampleRate) {}

CorePrcs::~CorePrcs() = default;
