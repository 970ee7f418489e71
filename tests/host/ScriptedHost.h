// A host session whose "module" is a function of the test, run in-process, so
// that the host's procedures can be exercised exactly as a module sees them.
#pragma once
#include <functional>

#include "host/FilterHost.h"

// Runs for every selector call: (selector, record, data slot, result cell).
using ModuleBody = std::function<void(int16_t selector, void* record, intptr_t* data, int16_t* result)>;

// Only one ScriptedHost may exist at a time (the body is module-wide).
struct ScriptedHost {
  FilterHost* host = nullptr;
  explicit ScriptedHost(ModuleBody body);
  ~ScriptedHost();
  ScriptedHost(const ScriptedHost&) = delete;
  ScriptedHost& operator=(const ScriptedHost&) = delete;
};

inline FilterRecord* AsFilter(void* record) { return static_cast<FilterRecord*>(record); }

// Acquires a suite through the record's broker; null when refused.
template <class Suite>
const Suite* Acquire(FilterRecord* r, const char* name, int32_t version) {
  const void* suite = nullptr;
  if (r->sSPBasic->AcquireSuite(name, version, &suite) != 0) return nullptr;
  return static_cast<const Suite*>(suite);
}

// A small RGB document whose pixel at (x, y) in channel c is (c * 64 + y * 16 + x) & 0xFF.
HostDocument PatternDocument(int32_t width, int32_t height, LayerKind layer);
uint8_t PatternValue(int32_t channel, int32_t x, int32_t y);
