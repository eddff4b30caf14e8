// Process-wide state that every layer reads.
#pragma once
#include "settings/nametable.h"

extern bool g_bSettingsChanged;  // a page setting was changed since the last save
extern bool g_bPromptOpen;       // a password prompt is on the screen

extern CNameTable g_installedPrograms;  // program name -> path (malloc'd string)
extern CNameTable g_chosenPrograms;     // names from the settings' program list
