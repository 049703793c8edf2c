// The process-wide diagnostic log: one line per event, appended to "<folder><name>" with one
// open-append-close per line so the file survives a crash and can be deleted while a host runs.
// Lines whose level is above the debug level are dropped; level 0 writes nothing.
#pragma once

#include <cstdint>

#include "base/CoreStrg.h"

class CoreLogr {
 public:
  static void setLevel(int16_t level);            // [control]
  static int16_t level();                         // [any]
  static void setFolder(const CoreStrg& folder);  // [control] ends with a separator
  static CoreStrg folder();                       // [any]
  static void setFileName(const CoreStrg& name);  // [control]
  static CoreStrg fileName();                     // [any]

  // Not on the audio path: every line opens and closes the file.
  static void trace(const CoreStrg& text, int depth, int level);  // [any] ">--text<"
  static void error(const CoreStrg& text, int level);             // [any]
  static void tagError(const CoreStrg& text);                     // [any]
  static void fileError(const CoreStrg& text, int level);         // [any]

  static bool enabled(int level) {  // [any] debug level 0 writes nothing
    const int16_t current = CoreLogr::level();
    return current > 0 && level <= current;
  }

  static constexpr const char* kErrorMark = "***ERROR***>";

 private:
  static void writeLine(const CoreStrg& body);
};
