#include "sim/faults.h"

#include "sim/config.h"

#include <map>
#include <string>
#include <utility>

namespace {

std::map<std::string, long long> callsPerMethod;
std::map<std::pair<std::string, int>, long long> callsPerDevice;

bool inRange(long long call, const FaultRule& rule)
{
    return call >= rule.call && (rule.count == 0 || call < rule.call + rule.count);
}

} // namespace

void resetCallCounts()
{
    const long long creations = callsPerMethod["DirectInput8Create"];
    callsPerMethod.clear();
    callsPerDevice.clear();
    callsPerMethod["DirectInput8Create"] = creations;
}

bool injectedFailure(const char* method, int device, HRESULT& result)
{
    const long long call = ++callsPerMethod[method];
    const long long deviceCall = device >= 0 ? ++callsPerDevice[{method, device}] : 0;
    for (const FaultRule& rule : currentConfig().faults) {
        if (rule.method != method)
            continue;
        const bool matches = rule.device < 0 ? inRange(call, rule) : rule.device == device && inRange(deviceCall, rule);
        if (matches) {
            result = rule.result;
            return true;
        }
    }
    return false;
}
