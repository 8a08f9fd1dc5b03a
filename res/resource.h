// Identifiers of the starter's resources and menu commands, shared by the
// resource script and the code.
#pragma once

#define IDS_TIP 1
#define IDS_WEBSITE 2
#define IDS_REFERENCE 3
#define IDS_FEEDBACK 4

#define IDI_STARTER 102
#define IDI_SPARE 103    // shipped with the program, not used by the code
#define IDR_TRAYMENU 103 // a menu, so it does not collide with the icon group 103
#define IDB_ABOUT 105
#define IDD_ABOUT 106

#define IDM_ABOUT 40001
#define IDM_WEBSITE 40002
#define IDM_REFERENCE 40003
#define IDM_FEEDBACK 40004
#define IDM_QUIT 40005
#define IDM_LAUNCH 40006

// Every resource carries German (Germany), although the texts are English.
#define STARTER_RESOURCE_LANGUAGE 0x0407
