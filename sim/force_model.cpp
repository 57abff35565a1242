#include "sim/force_model.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr double fullScale = 10000.0;

double clampTo(double value, double limit)
{
    return std::clamp(value, -limit, limit);
}

// Coefficients and saturations are picked by the side of the centre (spring)
// or the direction of motion (damper, friction).
double conditionForce(ConditionKind kind, const DICONDITION& record, double position, double velocity)
{
    const double measure = kind == ConditionKind::Spring ? position - record.lOffset : velocity;
    const bool positive = measure >= 0;
    const double coefficient = positive ? record.lPositiveCoefficient : record.lNegativeCoefficient;
    const double saturation = positive ? record.dwPositiveSaturation : record.dwNegativeSaturation;
    switch (kind) {
    case ConditionKind::Spring:
        if (std::fabs(measure) <= record.lDeadBand)
            return 0;
        return -clampTo(coefficient * measure / fullScale, saturation);
    case ConditionKind::Damper:
        return -clampTo(coefficient * measure / fullScale, saturation);
    case ConditionKind::Friction:
        if (measure == 0)
            return 0;
        return (positive ? -1 : 1) * clampTo(coefficient, saturation);
    }
    return 0;
}

const DICONDITION& recordFor(const PlayingCondition& effect, int axis)
{
    return effect.records.size() == 1 ? effect.records[0] : effect.records[static_cast<std::size_t>(axis)];
}

std::string centreText(const std::vector<PlayingCondition>& playing)
{
    for (const PlayingCondition& effect : playing) {
        if (effect.kind != ConditionKind::Spring)
            continue;
        std::string centre[2] = {"-", "-"};
        std::string coefficient = "-";
        for (int axis = 0; axis < effect.axisCount; ++axis) {
            const int slot = effect.axisSlot[axis];
            if (slot < 0)
                continue;
            centre[slot] = std::to_string(recordFor(effect, axis).lOffset);
            if (coefficient == "-" || slot == 0)
                coefficient = std::to_string(recordFor(effect, axis).lPositiveCoefficient);
        }
        return "centre=" + centre[0] + "," + centre[1] + " spring=" + coefficient;
    }
    return "centre=- spring=-";
}

} // namespace

double normalisedPosition(LONG axis)
{
    return (axis - 32767.5) / 32767.5 * fullScale;
}

std::string describeForces(const std::vector<PlayingCondition>& playing, const StickMotion& motion)
{
    const double position[2] = {normalisedPosition(motion.x), normalisedPosition(motion.y)};
    const double velocity[2] = {motion.vx, motion.vy};
    double force[2] = {0, 0};
    std::string serials;
    for (const PlayingCondition& effect : playing) {
        serials += (serials.empty() ? "" : ",") + std::to_string(effect.serial);
        for (int axis = 0; axis < effect.axisCount; ++axis) {
            const int slot = effect.axisSlot[axis];
            if (slot >= 0)
                force[slot] += conditionForce(effect.kind, recordFor(effect, axis), position[slot], velocity[slot]);
        }
    }
    return "force x=" + std::to_string(motion.x) + " y=" + std::to_string(motion.y) + " " + centreText(playing) +
           " playing=" + (serials.empty() ? "-" : serials) +
           " fx=" + std::to_string(std::lround(clampTo(force[0], fullScale))) +
           " fy=" + std::to_string(std::lround(clampTo(force[1], fullScale)));
}
