// The namespace of the lane target this compilation belongs to.
//
// quarvel_lane_kernels compiles each kernel source once per target with
// QUARVEL_LANE_TARGET naming it; every other source is the baseline. Headers
// with inline rules shared by the reference and the kernels put them in this
// namespace, so that each target gets its own copy.
#pragma once

#if !defined(QUARVEL_LANE_TARGET)
#define QUARVEL_LANE_TARGET baseline
#define QUARVEL_LANE_BASELINE 1
#endif
