#pragma once

// Resource ids of kalvo.exe: the program icon, the pictures of the "Picture" page, the logo JPEG.
// Shared by the resource script and the face, so plain macros the resource compiler can read.
#define IDI_KALVO 1
#define IDB_SCHEMATIC 101
#define IDB_MOTOR 102
#define IDB_VALVE 103
#define IDB_HEATER 104
#define IDB_FLAME 105
#define IDB_TRANSFORMER 106
#define IDB_WARNING 107
#define IDR_LOGO 108
