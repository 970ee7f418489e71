// The dialog's client size, remembered per user between runs.
#pragma once

// Registry key and values of the remembered size.
#define DialogSizeKey "Software\\Glintmark\\Bevel Forge\\1.0"
#define DialogWidthValue "Dialog Width"
#define DialogHeightValue "Dialog Height"

// Sets the run globals' dialogWidth and dialogHeight from the registry; a
// missing value (or one beyond the 16-bit size) leaves the current one.
void ReadDialogSize();

// Stores the run globals' dialogWidth and dialogHeight, creating the key when
// it is missing. A failure to store is not reported: the next run starts with
// the size it finds.
void WriteDialogSize();
