#include "frame/SuiteAcquisition.h"

#include <cstdio>

const ADMBasicSuite4* gADMBasicSuite = nullptr;
const PSBufferSuite1* gBufferSuite = nullptr;
const PSChannelPortsSuite1* gChannelPortsSuite = nullptr;
int32_t gSuiteUseCount = 0;

namespace {
// Suites that are acquired and held but never called.
const void* gADMDialogSuite = nullptr;
const void* gADMItemSuite = nullptr;
const void* gADMIconSuite = nullptr;
const void* gADMNotifierSuite = nullptr;
const void* gADMDrawerSuite = nullptr;
const void* gADMTrackerSuite = nullptr;
const void* gADMEntrySuite = nullptr;
const void* gADMListSuite = nullptr;
const void* gSPBlocksSuite = nullptr;
const void* gPSGetPathSuite = nullptr;

struct SuiteEntry {
  const char* name;
  int32_t version;
  const void** pointer;
};

// In acquisition (and release) order; the ADM Basic suite comes first so that
// it can report a later refusal.
const SuiteEntry Suites[] = {
    {kADMBasicSuite, kADMBasicSuiteVersion4, reinterpret_cast<const void**>(&gADMBasicSuite)},
    {kADMDialogSuite, kADMDialogSuiteVersion4, &gADMDialogSuite},
    {kADMItemSuite, kADMItemSuiteVersion4, &gADMItemSuite},
    {kADMIconSuite, kADMIconSuiteVersion1, &gADMIconSuite},
    {kADMNotifierSuite, kADMNotifierSuiteVersion1, &gADMNotifierSuite},
    {kADMDrawerSuite, kADMDrawerSuiteVersion3, &gADMDrawerSuite},
    {kADMTrackerSuite, kADMTrackerSuiteVersion1, &gADMTrackerSuite},
    {kADMEntrySuite, kADMEntrySuiteVersion2, &gADMEntrySuite},
    {kADMListSuite, kADMListSuiteVersion1, &gADMListSuite},
    {kSPBlocksSuite, kSPBlocksSuiteVersion2, &gSPBlocksSuite},
    {kPSGetPathSuite, kPSGetPathSuiteVersion1, &gPSGetPathSuite},
    {kPSBufferSuite, kPSBufferSuiteVersion1, reinterpret_cast<const void**>(&gBufferSuite)},
    {kPSChannelPortsSuite, kPSChannelPortsSuiteVersion2, reinterpret_cast<const void**>(&gChannelPortsSuite)},
};
constexpr int32_t SuiteCount = int32_t(sizeof Suites / sizeof Suites[0]);

constexpr size_t AlertTextCapacity = 256;  // bytes, terminator included

void ReportRefusal(SPErr error, const SuiteEntry& suite) {
  if (gADMBasicSuite == nullptr || gADMBasicSuite->ErrorAlert == nullptr) return;
  char text[AlertTextCapacity];
  std::snprintf(text, sizeof text, "Error: %d, suite: %s, version: %d!", int(error), suite.name, int(suite.version));
  gADMBasicSuite->ErrorAlert(text);
}
}  // namespace

int32_t AcquireHostSuites(SPBasicSuite* broker) {
  if (gSuiteUseCount == 0) {
    for (int32_t i = 0; i < SuiteCount; ++i) {
      const SuiteEntry& suite = Suites[i];
      *suite.pointer = nullptr;
      SPErr error = broker->AcquireSuite(suite.name, suite.version, suite.pointer);
      int32_t acquired = i;  // suites to give back: those before this one
      // A host that answers success without a suite cannot serve the calls
      // made into it; treat it as a refusal, but give the suite back.
      if (error == 0 && *suite.pointer == nullptr) {
        error = kSPSuiteNotFoundError;
        acquired = i + 1;
      }
      if (error != 0) {
        ReportRefusal(error, suite);
        for (int32_t j = 0; j < acquired; ++j) {
          broker->ReleaseSuite(Suites[j].name, Suites[j].version);
          *Suites[j].pointer = nullptr;
        }
        *suite.pointer = nullptr;
        return 0;
      }
    }
  }
  ++gSuiteUseCount;
  return 1;
}

void ReleaseHostSuites(SPBasicSuite* broker) {
  if (gSuiteUseCount == 1) {
    for (const SuiteEntry& suite : Suites) {
      if (broker->ReleaseSuite(suite.name, suite.version) != 0) break;
      *suite.pointer = nullptr;
    }
  }
  if (gSuiteUseCount > 0) --gSuiteUseCount;
}
