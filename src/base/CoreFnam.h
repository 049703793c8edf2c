// File names as the system writes them, mapped onto a case-sensitive file system. Names in
// programs, archives and settings are written as on Windows: "\" separators and any letter case
// ("VOX.XML", "TAPE\H1.WAV"). Every file the system opens by name goes through resolve().
#pragma once

#include <string>

class CoreFnam {
 public:
  // [any] Every "\" as "/". When that path does not exist, each component is matched without
  // regard to ASCII case against the entries of the folder before it; among several matches the
  // exact one wins, else the first in byte order. From the first component that matches nothing
  // on, the rest is kept as written, so the path of a file (or folders) about to be created keeps
  // its existing folders and its new tail.
  static std::string resolve(const char* path);
  static std::string resolve(const std::string& path) { return resolve(path.c_str()); }

  // [any] Every "\" as "/".
  static std::string forwardSlashes(const char* path);

  // [any] Equality of two names without regard to ASCII case.
  static bool sameIgnoringCase(const char* a, const char* b);

  // [any] Wildcard match without regard to ASCII case: "*" any run, "?" one character; "*.*"
  // matches every name, with or without an extension.
  static bool matchesPattern(const char* pattern, const char* name);

  // [any] Whether the path (resolved) is an existing regular file / folder.
  static bool isFile(const std::string& path);
  static bool isFolder(const std::string& path);
};
