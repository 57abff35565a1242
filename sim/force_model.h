// The forces the playing condition effects would put on the stick: a simple
// model, so that a test can see a spring pull toward its centre.
#pragma once

#include "sim/config.h"
#include "sim/dinput_api.h"

#include <string>
#include <vector>

enum class ConditionKind { Spring, Damper, Friction };

// One playing effect as it was last downloaded.
struct PlayingCondition {
    int serial = 0;
    ConditionKind kind = ConditionKind::Spring;
    int axisCount = 0;
    int axisSlot[maxAxes] = {};        // 0 for X, 1 for Y, -1 for an axis the model leaves out
    std::vector<DICONDITION> records;  // one for all axes, or one per axis
};

struct StickMotion {
    LONG x = 32767;  // raw axis values, 0..65535
    LONG y = 32767;
    double vx = 0;   // normalised units per second
    double vy = 0;
};

// -10000 at 0, +10000 at 65535.
double normalisedPosition(LONG axis);

// "force x=<x> y=<y> centre=<cx>,<cy> spring=<coefficient> playing=<serials> fx=<F> fy=<F>",
// effects in serial order.
std::string describeForces(const std::vector<PlayingCondition>& playing, const StickMotion& motion);
