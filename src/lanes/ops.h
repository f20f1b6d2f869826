// What a rule written once for one value and for lanes includes: the scalar operations, and in a
// kernel object the lanes.
#pragma once

#include "lanes/scalar.h"
#include "lanes/target.h"

#if !defined(QUARVEL_LANE_BASELINE)
#include "lanes/lanes.h"
#endif
