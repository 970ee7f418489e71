// The program's own message codes (2..5 in the result cell) as message boxes.
#pragma once
#include <cstdint>

// Shows the message of `code` from the module's string table in a message box
// owned by the active window, with the system's default caption. Codes
// outside 2..5 show nothing.
void ShowResultMessage(int16_t code);
