#include "vectors/CoreKreg.h"

CoreKreg::CoreKreg(CorePool* sharedPool) : pool_(sharedPool) {}

CoreKreg::~CoreKreg() = default;
