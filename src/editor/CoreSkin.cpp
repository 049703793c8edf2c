#include "editor/CoreSkin.h"

CoreSkin::CoreSkin(CorePool* pool, const CoreStrg& path, CoreFsys* fsys)
    : pool_(pool), path_(path), fsys_(fsys) {}

CoreSkin::~CoreSkin() = default;

void CoreSkin::releaseFileManager() { fsys_ = nullptr; }
