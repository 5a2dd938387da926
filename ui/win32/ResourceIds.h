#pragma once

// Resource ids of kalvo.exe: the program icon. Shared by the resource script and the face, so
// plain macros the resource compiler can read. The pictures go by their file names.
#define IDI_KALVO 1
