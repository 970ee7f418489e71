// The system's busy cursor, shown while the module works inside a host call.
#pragma once

// Shows the wait cursor (hourglass); the host or the next cursor change
// restores the normal one. Does nothing where there is no pointer to change.
void ShowWaitCursor();
