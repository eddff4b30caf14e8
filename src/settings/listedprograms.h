// The program list as stored: the "program name:" / "program path:" pairs of
// the settings text, for carrying them through a save made before the list
// of installed programs is known.
#pragma once
#include <vector>

#include "settings/savetext.h"

// Pairs of a text, in text order: a line that starts with "program name:"
// directly followed by a line that starts with "program path:". Names are cut
// to 255 bytes and paths to 259.
std::vector<ProgramEntry> ParseListedPrograms(const char* text);

// The pairs of the main settings file; none when it cannot be read.
std::vector<ProgramEntry> LoadListedPrograms();
