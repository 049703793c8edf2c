#include "base/CoreBlnk.h"

#include <cmath>

#include "base/CoreTime.h"

CoreBlnk::CoreBlnk() : rate_(2.0 * M_PI * 43200.0), start_(CoreTime::days()) {}

bool CoreBlnk::isOn() const { return std::sin((CoreTime::days() - start_) * rate_) > 0.0; }
