#include "app/main_loop.h"

#include "app/apply_restart.h"
#include "app/state.h"
#include "ffb/discovery.h"
#include "ffb/effects.h"
#include "ffb/polling.h"
#include "ffb/trimmers.h"

void runIdleTick()
{
    if (initPending) {
        // The devices open once the window is up and its first messages served.
        applyAndRestart(true);
        initPending = 0;
        return;
    }

    // The buttons act only on what this poll read: a device another program
    // holds reads nothing.
    if (instantTrimOn && isDeviceIndex(Settings.deviceIndex)) {
        if (pollDevice(DeviceList[Settings.deviceIndex].device, &joyState) == S_OK)
            stepInstantTrimmer();
    }
    if (progressiveTrimOn)
        stepProgressiveTrimmer();

    // Polled rather than registered, so the key works whichever program has
    // the keyboard; only "down now" counts, not "pressed since".
    if (GetAsyncKeyState(uiSettings.reinitKey) & 0x8000)
        applyAndRestart(false);
}

void shutDownDevices()
{
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
