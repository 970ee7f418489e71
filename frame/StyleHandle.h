// The style record in the host's parameter handle.
#pragma once
#include <cstdint>

#include "style/StyleRecord.h"

// Makes sure the filter record's parameter handle holds a style record: a
// missing handle is created through the host's handle procedures and filled
// with the default style (showDialog 0, run pointers null); an existing one is
// left as it is. Returns the record, or null with MemFullErr in the result
// cell when the handle cannot be made.
StyleRecord* EnsureStyleRecord();

// The style record of the current call, or null when there is none yet. The
// handle is dereferenced directly; keep the pointer only within one call.
StyleRecord* CurrentStyle();
