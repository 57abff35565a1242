// Resource ids; the .rc file and the code both use these names. 103 and 109
// each name two resources of different types (a string and a dialog, a string
// and a menu), which Windows keeps apart.
#pragma once

#define IDS_APP_TITLE 103  // string: window title
#define IDD_ABOUTBOX 103   // dialog: the About box
#define IDM_ABOUT 104
#define IDM_EXIT 105
#define IDI_KESTRA 107     // icon group: large class icon
#define IDI_SMALL 108      // icon group: small class icon
#define IDC_KESTRA 109     // string: window class name; menu: the main menu

#define IDM_INIT_DIRECTINPUT 32700
#define IDM_PROGRESSIVE_TRIMMER 32701
#define IDM_INSTANT_TRIMMER 32702
#define IDM_NO_TRIMMER 32703
#define IDM_BOTH_TRIMMERS 32704

#ifndef IDC_STATIC
#define IDC_STATIC -1
#endif
