// The codes a call leaves in the host's result cell: the host interface's own
// error codes and the program's message codes, which become message boxes at
// the end of the call (frame/Messages.cpp holds their texts).
#pragma once
#include <cstdint>

enum ResultCode : int16_t {
  NoErr = 0,                          // success
  PathInvalidCode = 2,                // "This path is invalid."
  NoPathsCode = 3,                    // no paths in the document
  NoTargetPathCode = 4,               // no target path chosen
  LockedTransparencyCode = 5,         // the layer's transparency is protected
  MemFullErr = -108,                  // out of memory
  UserCanceledErr = -128,             // the dialog was cancelled
  FilterBadParameters = -30100,       // unknown selector
  ErrPlugInHostInsufficient = -30900  // unusable host record or missing suite
};
