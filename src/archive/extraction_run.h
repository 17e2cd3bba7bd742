// The one walk over the attached archive: a listing run fills the main dialog's list box with
// the entry names; an extraction run writes the selected entries below ExtractDir and checks
// each against its CRC-32. Called by the main dialog.
#pragma once
#include <windows.h>

void ExtractionRun(HWND dialog, bool ListOnly);
