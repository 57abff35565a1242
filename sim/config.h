// The simulated controllers and the failures to inject, from sim-config.txt.
#pragma once

#include "sim/dinput_api.h"

#include <string>
#include <vector>

// The axes the sim can report, in order: X, Y, Z, Rx, Ry, Rz, two sliders.
constexpr int maxAxes = 8;

struct DeviceSetup {
    std::wstring name;
    bool forceFeedback = false;
    int actuatorAxes = 0;  // the first this many axes carry DIDOI_FFACTUATOR
};

struct FaultRule {
    std::string method;
    HRESULT result = E_FAIL;
    long long call = 1;   // 1-based
    long long count = 1;  // 0: every call from `call` on
    int device = -1;      // -1: calls on any device, counted together
};

struct VanishRule {
    int device = 0;
    long long discovery = 1;  // absent from this EnumDevices call on
};

struct ConfigError {
    int line = 0;
    std::string reason;
};

struct SimConfig {
    std::vector<DeviceSetup> devices;
    std::vector<FaultRule> faults;
    std::vector<VanishRule> vanishes;
    std::vector<ConfigError> errors;
};

// What the sim runs with when there is no configuration file.
constexpr char simDefaultConfig[] = "device \"Kestra Sim Stick\" ffb axes=2\n";

SimConfig parseConfig(const std::string& text);

// The configuration of the latest DirectInput8Create call.
const SimConfig& currentConfig();
// Makes config the current one and journals its bad lines.
void useConfig(const SimConfig& config);
// useConfig with the configuration file, read again.
void loadConfig();

// Names like E_FAIL or DIERR_INPUTLOST, or hexadecimal like 0x8007001E.
bool parseHresult(const std::string& word, HRESULT& result);
