// Small numeric settings kept per user outside the module's files (the dialog
// size).
//
// Windows: DWORD values under HKEY_CURRENT_USER\<key>. Elsewhere: a text file
// of "[<key>]" sections and "<name>=<decimal>" lines, at $BEVELFORGE_REGISTRY
// when that is set (tests point it into a scratch folder), else
// $XDG_CONFIG_HOME/BevelForge/registry, else ~/.config/BevelForge/registry.
#pragma once
#include <cstdint>

// Environment variable that overrides the registry file's path (non-Windows).
#define BF_REGISTRY_PATH_VARIABLE "BEVELFORGE_REGISTRY"

// Reads value `name` of `key` into *value. Returns 1, or 0 (and leaves *value
// unchanged) when the key or value is missing or not a 32-bit number.
int32_t ReadRegistryNumber(const char* key, const char* name, uint32_t* value);

// Writes value `name` of `key`, creating the key when it is missing. Returns
// 1, or 0 when the value could not be stored.
int32_t WriteRegistryNumber(const char* key, const char* name, uint32_t value);
