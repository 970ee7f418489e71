// The suite broker: AcquireSuite/ReleaseSuite over the suites a host of ours
// offers, with refusal by name (HostOptions::refusedSuites) and per-suite
// acquire/release accounting. The ADM, SP Blocks and GetPath suites are only
// acquired by the module, so they are tables of harmless stubs; the ADM Basic
// suite's fourth entry is the alert, which records its text as a message.
#include <cstddef>
#include <cstring>
#include <string>

#include "host/HostState.h"

namespace {

typedef int32_t(PI_CALL* StubEntry)(void);
constexpr int StubEntries = 64;  // more than any of the stubbed suites has

struct StubSuite {
  StubEntry entries[StubEntries];
};

int32_t PI_CALL StubReturnsZero(void) { return 0; }

// ADM Basic suite, fourth function: shows an alert with the given text.
void PI_CALL AdmAlert(const char* text) {
  FilterHost* host = gActiveHost;
  if (!host) return;
  MessageRecord message;
  message.text = text ? text : "";
  message.selector = host->currentSelector;
  message.fromAlertSuite = true;
  host->report.messages.push_back(message);
}

constexpr int AdmBasicAlertEntry = int(offsetof(ADMBasicSuite4, ErrorAlert) / sizeof(void*));

const StubSuite& PlainStubs() {
  static StubSuite suite = [] {
    StubSuite s;
    for (StubEntry& e : s.entries) e = StubReturnsZero;
    return s;
  }();
  return suite;
}

const StubSuite& AdmBasicStubs() {
  static StubSuite suite = [] {
    StubSuite s = PlainStubs();
    s.entries[AdmBasicAlertEntry] = reinterpret_cast<StubEntry>(reinterpret_cast<void (*)()>(AdmAlert));
    return s;
  }();
  return suite;
}

struct OfferedSuite {
  const char* name;
  int32_t version;
  const void* (*table)();
};

const void* BasicTable() { return &kHostBasicSuite; }
const void* AdmBasicTable() { return &AdmBasicStubs(); }
const void* StubTable() { return &PlainStubs(); }
const void* BufferTable() { return &kHostBufferSuite; }
const void* ChannelPortsTable() { return &kHostChannelPortsSuite; }

const OfferedSuite kOffered[] = {
    {kSPBasicSuite, kSPBasicSuiteVersion, BasicTable},
    {kADMBasicSuite, kADMBasicSuiteVersion4, AdmBasicTable},
    {kADMDialogSuite, kADMDialogSuiteVersion4, StubTable},
    {kADMItemSuite, kADMItemSuiteVersion4, StubTable},
    {kADMIconSuite, kADMIconSuiteVersion1, StubTable},
    {kADMNotifierSuite, kADMNotifierSuiteVersion1, StubTable},
    {kADMDrawerSuite, kADMDrawerSuiteVersion3, StubTable},
    {kADMTrackerSuite, kADMTrackerSuiteVersion1, StubTable},
    {kADMEntrySuite, kADMEntrySuiteVersion2, StubTable},
    {kADMListSuite, kADMListSuiteVersion1, StubTable},
    {kSPBlocksSuite, kSPBlocksSuiteVersion2, StubTable},
    {kPSGetPathSuite, kPSGetPathSuiteVersion1, StubTable},
    {kPSBufferSuite, kPSBufferSuiteVersion1, BufferTable},
    {kPSChannelPortsSuite, kPSChannelPortsSuiteVersion2, ChannelPortsTable},
};

SuiteBalance& BalanceOf(FilterHost* host, const char* name, int32_t version) {
  for (SuiteBalance& s : host->report.suites)
    if (s.version == version && s.name == name) return s;
  SuiteBalance fresh;
  fresh.name = name;
  fresh.version = version;
  host->report.suites.push_back(fresh);
  return host->report.suites.back();
}

std::string SuiteKey(const char* name, int32_t version) { return std::string(name) + "/" + std::to_string(version); }

}  // namespace

SPErr PI_CALL HostAcquireSuite(const char* name, int32_t version, const void** suite) {
  FilterHost* host = gActiveHost;
  if (suite) *suite = nullptr;
  if (!host || !name || !suite) return kSPSuiteNotFoundError;
  SuiteBalance& balance = BalanceOf(host, name, version);
  for (const std::string& refused : host->options.refusedSuites) {
    if (refused == name) {
      ++balance.refused;
      return kSPSuiteNotFoundError;
    }
  }
  for (const OfferedSuite& offered : kOffered) {
    if (offered.version == version && std::strcmp(offered.name, name) == 0) {
      *suite = offered.table();
      ++balance.acquired;
      ++host->suitesHeld[SuiteKey(name, version)];
      return 0;
    }
  }
  ++balance.refused;
  return kSPSuiteNotFoundError;
}

SPErr PI_CALL HostReleaseSuite(const char* name, int32_t version) {
  FilterHost* host = gActiveHost;
  if (!host || !name) return kSPSuiteNotFoundError;
  auto it = host->suitesHeld.find(SuiteKey(name, version));
  if (it == host->suitesHeld.end() || it->second <= 0) {
    NoteMisuse(host, "release of a suite not held: " + SuiteKey(name, version));
    return kSPSuiteNotFoundError;
  }
  --it->second;
  ++BalanceOf(host, name, version).released;
  return 0;
}
