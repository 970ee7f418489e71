#include "tests/support/DescriptorSupport.h"

#include <functional>

#include "style/ScriptingParameters.h"

namespace {
std::function<void(FilterRecord*)> gBenchBody;

void PI_CALL BenchEntry(int16_t, void* record, intptr_t*, int16_t*) {
  if (gBenchBody) gBenchBody(static_cast<FilterRecord*>(record));
}
}  // namespace

DescriptorBench::DescriptorBench() {
  host = OpenFilterHostWithEntry(BenchEntry, "descriptor-bench");
  SetHostDocument(host, MakeDocument(1, 1, ModeRGBColor, LayerKind::Flat, 0));
}

DescriptorBench::~DescriptorBench() {
  CloseFilterHost(host);
  gBenchBody = nullptr;
}

int32_t DescriptorBench::Read(const DescriptorStore* store, int16_t playInfo, StyleRecord* style, const StyleIo& io,
                              RunReport* report) {
  HostOptions& options = HostOptionsOf(host);
  options.hasPlayback = store != nullptr;
  options.playback = store != nullptr ? *store : DescriptorStore{};
  options.playInfo = playInfo;
  int32_t complete = 0;
  gBenchBody = [&](FilterRecord* record) {
    complete = ReadScriptingParameters(record->descriptorParameters, record->handleProcs, style, io);
  };
  const RunReport seen = CallSelector(host, FilterSelectorStart);
  if (report != nullptr) *report = seen;
  gBenchBody = nullptr;
  return complete;
}

DescriptorStore DescriptorBench::Write(const StyleRecord& style, const StyleIo& io, int32_t* ok) {
  int32_t written = 0;
  gBenchBody = [&](FilterRecord* record) {
    written = WriteScriptingParameters(record->descriptorParameters, record->handleProcs, style, io);
  };
  const RunReport report = CallSelector(host, FilterSelectorFinish);
  gBenchBody = nullptr;
  if (ok != nullptr) *ok = written;
  return report.descriptorWritten ? report.descriptor : DescriptorStore{};
}
