// The skin description of the editor, read from the skin archive at instance creation.
// Until the editor is built it only records where its skin lives.
#pragma once

#include "base/CoreStrg.h"

class CoreFsys;
class CorePool;

class CoreSkin {
 public:
  CoreSkin(CorePool* pool, const CoreStrg& path, CoreFsys* fsys);  // [control]
  ~CoreSkin();
  CoreSkin(const CoreSkin&) = delete;
  CoreSkin& operator=(const CoreSkin&) = delete;

  void releaseFileManager();  // [control] the parsed skin stays, its reader goes
  const CoreStrg& path() const { return path_; }  // [any]

 private:
  CorePool* pool_;
  CoreStrg path_;
  CoreFsys* fsys_;
};
