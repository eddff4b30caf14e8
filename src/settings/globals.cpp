#include "settings/globals.h"

bool g_bSettingsChanged = false;
bool g_bPromptOpen = false;

CNameTable g_installedPrograms;
CNameTable g_chosenPrograms;
