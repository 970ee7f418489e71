#include "platform/WaitCursor.h"

#if defined(_WIN32)
#include <windows.h>

void ShowWaitCursor() { SetCursor(LoadCursor(nullptr, IDC_WAIT)); }

#else
void ShowWaitCursor() {}
#endif
