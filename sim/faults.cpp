#include "sim/faults.h"

#include "sim/config.h"

#include <map>
#include <string>
#include <string_view>

namespace {

// Keyed by method name, looked up without building a string: every call
// passes here.
std::map<std::string, long long, std::less<>> callsPerMethod;
std::map<std::string, std::map<int, long long>, std::less<>> callsPerDevice;

template <typename Value>
Value& entry(std::map<std::string, Value, std::less<>>& counts, const char* method)
{
    const auto found = counts.find(std::string_view(method));
    return found != counts.end() ? found->second : counts[method];
}

bool inRange(long long call, const FaultRule& rule)
{
    return call >= rule.call && (rule.count == 0 || call < rule.call + rule.count);
}

} // namespace

void resetCallCounts()
{
    const long long creations = entry(callsPerMethod, "DirectInput8Create");
    callsPerMethod.clear();
    callsPerDevice.clear();
    callsPerMethod["DirectInput8Create"] = creations;
}

void forgetCallCounts()
{
    callsPerMethod.clear();
    callsPerDevice.clear();
}

bool injectedFailure(const char* method, int device, HRESULT& result)
{
    const long long call = ++entry(callsPerMethod, method);
    const long long deviceCall = device >= 0 ? ++entry(callsPerDevice, method)[device] : 0;
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
