#include "sim/config.h"

#include "sim/journal.h"
#include "sim/line_parsing.h"
#include "sim/sim_files.h"

#include <cerrno>
#include <cstdlib>

namespace {

SimConfig loaded = parseConfig(simDefaultConfig);

const char* const failableMethods[] = {
    "DirectInput8Create", "EnumDevices", "CreateDevice", "SetDataFormat", "SetCooperativeLevel",
    "SetProperty", "EnumObjects", "CreateEffect", "Acquire", "Poll", "GetDeviceState", "Start", "Stop",
    "SetParameters",
};

struct NamedResult {
    const char* name;
    HRESULT result;
};

const NamedResult namedResults[] = {
    {"S_OK", S_OK},
    {"S_FALSE", S_FALSE},
    {"E_FAIL", E_FAIL},
    {"E_NOINTERFACE", E_NOINTERFACE},
    {"E_OUTOFMEMORY", E_OUTOFMEMORY},
    {"E_ACCESSDENIED", E_ACCESSDENIED},
    {"E_POINTER", E_POINTER},
    {"DIERR_INPUTLOST", DIERR_INPUTLOST},
    {"DIERR_NOTACQUIRED", DIERR_NOTACQUIRED},
    {"DIERR_OTHERAPPHASPRIO", DIERR_OTHERAPPHASPRIO},
    {"DIERR_UNPLUGGED", static_cast<HRESULT>(DIERR_UNPLUGGED)},
    {"DIERR_INVALIDPARAM", DIERR_INVALIDPARAM},
    {"DIERR_DEVICENOTREG", DIERR_DEVICENOTREG},
    {"DIERR_NOTINITIALIZED", DIERR_NOTINITIALIZED},
    {"DIERR_NOTEXCLUSIVEACQUIRED", static_cast<HRESULT>(DIERR_NOTEXCLUSIVEACQUIRED)},
    {"DIERR_DEVICEFULL", static_cast<HRESULT>(DIERR_DEVICEFULL)},
};

bool isFailableMethod(const std::string& name)
{
    for (const char* method : failableMethods) {
        if (name == method)
            return true;
    }
    return false;
}

// A line is taken whole or not at all; each returns its error reason or "".
std::string parseDevice(const std::vector<std::string>& words, const std::vector<bool>& quoted, SimConfig& config)
{
    if (words.size() < 2 || !quoted[1] || words[1].empty())
        return "device-name";
    DeviceSetup device;
    const int length = MultiByteToWideChar(CP_UTF8, 0, words[1].data(), static_cast<int>(words[1].size()),
                                           nullptr, 0);
    device.name.assign(static_cast<std::size_t>(length), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, words[1].data(), static_cast<int>(words[1].size()), device.name.data(),
                        length);
    long long axes = -1;
    for (std::size_t i = 2; i < words.size(); ++i) {
        std::string key, value;
        if (words[i] == "ffb")
            device.forceFeedback = true;
        else if (splitOption(words[i], key, value) && key == "axes" && parseNumber(value, 0, maxAxes, axes))
            continue;
        else
            return "device-option";
    }
    device.actuatorAxes = static_cast<int>(axes >= 0 ? axes : (device.forceFeedback ? 2 : 0));
    config.devices.push_back(device);
    return "";
}

std::string parseFail(const std::vector<std::string>& words, SimConfig& config)
{
    if (words.size() < 3 || !isFailableMethod(words[1]))
        return "fail-method";
    FaultRule rule;
    rule.method = words[1];
    if (!parseHresult(words[2], rule.result))
        return "fail-hresult";
    for (std::size_t i = 3; i < words.size(); ++i) {
        std::string key, value;
        long long number = 0;
        if (!splitOption(words[i], key, value))
            return "fail-option";
        if (key == "call" && parseNumber(value, 1, 1000000000, number))
            rule.call = number;
        else if (key == "count" && value == "all")
            rule.count = 0;
        else if (key == "count" && parseNumber(value, 1, 1000000000, number))
            rule.count = number;
        else if (key == "device" && parseNumber(value, 0, 1000, number))
            rule.device = static_cast<int>(number);
        else
            return "fail-option";
    }
    config.faults.push_back(rule);
    return "";
}

std::string parseVanish(const std::vector<std::string>& words, SimConfig& config)
{
    VanishRule rule;
    long long device = 0;
    std::string key, value;
    if (words.size() != 3 || !parseNumber(words[1], 0, 1000, device) || !splitOption(words[2], key, value) ||
        key != "discovery" || !parseNumber(value, 1, 1000000000, rule.discovery))
        return "vanish";
    rule.device = static_cast<int>(device);
    config.vanishes.push_back(rule);
    return "";
}

} // namespace

SimConfig parseConfig(const std::string& text)
{
    SimConfig config;
    const std::vector<std::string> lines = splitLines(text);
    for (std::size_t i = 0; i < lines.size(); ++i) {
        std::vector<std::string> words;
        std::vector<bool> quoted;
        std::string error;
        if (!splitWords(lines[i], words, quoted))
            error = "quote";
        else if (words.empty())
            continue;
        else if (words[0] == "device")
            error = parseDevice(words, quoted, config);
        else if (words[0] == "fail")
            error = parseFail(words, config);
        else if (words[0] == "vanish")
            error = parseVanish(words, config);
        else
            error = "unknown-keyword";
        if (!error.empty())
            config.errors.push_back({static_cast<int>(i + 1), error});
    }
    return config;
}

const SimConfig& currentConfig()
{
    return loaded;
}

void useConfig(const SimConfig& config)
{
    loaded = config;
    for (const ConfigError& error : loaded.errors)
        journalLine("dinput config-error line=" + std::to_string(error.line) + " reason=" + error.reason);
}

void loadConfig()
{
    std::string text;
    useConfig(parseConfig(readTextFile(configPath(), text) ? text : simDefaultConfig));
}

bool parseHresult(const std::string& word, HRESULT& result)
{
    for (const NamedResult& named : namedResults) {
        if (word == named.name) {
            result = named.result;
            return true;
        }
    }
    if (word.size() < 3 || word.size() > 10 || word[0] != '0' || (word[1] != 'x' && word[1] != 'X'))
        return false;
    char* end = nullptr;
    errno = 0;
    const unsigned long value = std::strtoul(word.c_str() + 2, &end, 16);
    if (errno != 0 || *end != '\0')
        return false;
    result = static_cast<HRESULT>(value);
    return true;
}
