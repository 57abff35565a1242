#include "app/main_loop.h"
#include "app/state.h"
#include "ui/main_window.h"
#include "ui/resource.h"

int WINAPI wWinMain(HINSTANCE moduleInstance, HINSTANCE, PWSTR, int)
{
    LoadStringW(moduleInstance, IDS_APP_TITLE, windowTitle, 100);
    LoadStringW(moduleInstance, IDC_KESTRA, windowClassName, 100);
    registerWindowClasses(moduleInstance);

    // Without a window nothing is opened and nothing is written.
    if (!createMainWindow(moduleInstance))
        return 0;
    mainMenu = GetMenu(mainWindow);
    return runMainLoop();
}
