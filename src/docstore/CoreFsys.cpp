#include "docstore/CoreFsys.h"

CoreFsys::CoreFsys(CorePool* pool) : pool_(pool) {}

CoreFsys::~CoreFsys() = default;
