#include "app/main_loop.h"

#include "app/apply_restart.h"
#include "app/state.h"
#include "ffb/discovery.h"
#include "ffb/effects.h"
#include "ffb/polling.h"
#include "ffb/trimmers.h"

#include <utility>

namespace {

// Polled rather than registered, so the key works whichever program has the
// keyboard; only "down now" counts, not "pressed since".
void watchHotkey()
{
    const std::int32_t key = uiSettings.reinitKey;
    if (!(GetAsyncKeyState(key) & 0x8000)) {
        armedHotkey = key;
        return;
    }
    // A key typed or arrowed onto in the list is down as it becomes the
    // hotkey: it restarts only once it has been let go and pressed again.
    if (key == armedHotkey)
        applyAndRestart(false);
}

} // namespace

void runIdleTick()
{
    if (devicesShutDown)
        return;
    if (initPending) {
        // The devices open once the window is up and its first messages served.
        applyAndRestart(true);
        initPending = 0;
        return;
    }

    // Whatever the trimmers do, a stick that was lost gets its forces back.
    const bool stickThere = watchStick();
    // A controller plugged in while there was no force-feedback stick, or while
    // it was unplugged and its object did not take it back (a stick plugged
    // into another port comes back as a new device): look again, without a
    // word should there still be none.
    if (std::exchange(devicesArrived, false) && !stickThere)
        rediscoverDevices();

    // The buttons act only on what this poll read: a device another program
    // holds reads nothing.
    if (instantTrimOn && isDeviceIndex(Settings.deviceIndex)) {
        if (pollDevice(DeviceList[Settings.deviceIndex].device, &joyState) == S_OK)
            stepInstantTrimmer();
    }
    if (progressiveTrimOn)
        stepProgressiveTrimmer();

    watchHotkey();
}

void shutDownDevices()
{
    if (std::exchange(devicesShutDown, true))
        return;
    Sleep(100);
    stopEffects();
    releaseAndSave();
}

int runMainLoop()
{
    MSG message;
    for (;;) {
        if (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (message.message == WM_QUIT)
                break;
            TranslateMessage(&message);
            DispatchMessageW(&message);
            continue;
        }
        runIdleTick();
        Sleep(50);
    }
    shutDownDevices();
    return static_cast<int>(message.wParam);
}
