// Program documents: reading a PROGRAM element into the program record (header values, controls,
// modulator settings, kernel trees of the harmonic and raw slots) and writing the edited values
// back into the loaded document. Absent elements take their documented defaults; units are
// converted as the values are read (dB to factors, percent / 100, degrees / 90).
#pragma once

#include <cstdint>

#include "base/CoreStrg.h"

class CoreFsys;
class CoreProg;
class CoreVect;
class CoreXnod;

class CorePfmt {
 public:
  struct Context {
    int32_t sampleRate = 44100;
    int32_t offsetLimit = -1;      // µs; applied to a vector's OFFSET when 0 or more
    CoreFsys* fsys = nullptr;      // where CONTROL files are read from
  };

  // [control] Reads the PROGRAM below the document root. False (the record reset) when there is
  // no PROGRAM or no H1, or a referenced vector description cannot be read.
  static bool read(CoreProg& program, const CoreXnod* root, const Context& context);

  // [control] Puts the edited values back into the loaded document: MIXn for preset mixes (the
  // others removed), GAININ and GAINOUT in dB (-192.64 at or below the minimum).
  static void write(CoreProg& program, CoreXnod* root);

  // [any] dB of a gain control at position p of its range: 20 log10(2p), -192.64 for p <= 0.
  static double gainDb(double position);
  static constexpr double kFloorDb = -192.64;

 private:
  static void readHeader(CoreProg& program, const CoreXnod& p, const Context& context);
  static void readModulators(CoreProg& program, const CoreXnod& p, const Context& context);
  static bool readSlots(CoreProg& program, const CoreXnod& p, const Context& context);
};
