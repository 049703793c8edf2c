// Fuzzes program reading: any text parsed as a document and read as a program must leave the
// record either loaded with finite values or reset, and writing it back must work.
#include <cmath>
#include <cstdint>
#include <cstdlib>

#include "base/CoreAnsx.h"
#include "base/CorePool.h"
#include "docstore/CoreFsys.h"
#include "docstore/CoreXmld.h"
#include "programs/CorePfmt.h"
#include "programs/CoreProg.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static CorePool pool;
  CoreFsys fsys(&pool);
  fsys.setBaseFolder(CoreStrg("/nonexistent-ostrel-fuzz/"));
  CoreProg program(&pool, 4, 44100, nullptr);
  CoreXmld doc;
  try {
    doc.parseText(reinterpret_cast<const char*>(data), size);
  } catch (const CoreAnsx&) {
    return 0;
  }
  CorePfmt::Context context;
  context.fsys = &fsys;
  const bool loaded = CorePfmt::read(program, doc.root(), context);
  if (loaded != program.loaded) std::abort();
  if (!std::isfinite(program.header.gainPadIn) || !std::isfinite(program.header.gainDryFactor))
    std::abort();
  for (int i = 0; i < 10; ++i)
    if (!std::isfinite(program.userControl(i).getRaw(true))) std::abort();
  if (loaded) CorePfmt::write(program, doc.root());
  program.tick(true, 64.0, 0.5, 120.0);
  return 0;
}
