// One-line, platform-independent summaries of run reports.
#include <cinttypes>
#include <cstdio>

#include "host/FilterHost.h"

const char* MessageIconName(MessageIcon icon) {
  switch (icon) {
    case MessageIcon::None: return "none";
    case MessageIcon::Stop: return "stop";
    case MessageIcon::Question: return "question";
    case MessageIcon::Exclamation: return "exclamation";
    case MessageIcon::Information: return "information";
  }
  return "?";
}

namespace {

std::string Quoted(const std::string& text) {
  std::string out = "\"";
  for (unsigned char c : text) {
    if (c == '"' || c == '\\') {
      out += '\\';
      out += char(c);
    } else if (c < 0x20 || c >= 0x7F) {
      char escape[8];
      std::snprintf(escape, sizeof escape, "\\x%02X", c);
      out += escape;
    } else {
      out += char(c);
    }
  }
  return out + "\"";
}

}  // namespace

std::string SummarizeReport(const RunReport& report) {
  std::string line = "calls=";
  for (size_t i = 0; i < report.calls.size(); ++i) {
    if (i) line += ',';
    line += std::to_string(report.calls[i].selector) + ":" + std::to_string(report.calls[i].result);
  }
  line += " result=" + std::to_string(report.finalResult);
  line += " msgs=[";
  for (size_t i = 0; i < report.messages.size(); ++i) {
    const MessageRecord& m = report.messages[i];
    if (i) line += ' ';
    line += m.fromAlertSuite ? "alert" : MessageIconName(m.icon);
    if (m.hasCaption) {
      line += '/';
      line += Quoted(m.caption);
    }
    line += ':';
    line += Quoted(m.text);
  }
  line += "]";
  line += " handles=" + std::to_string(report.liveHandles) + " stray=" + std::to_string(report.strayHandles);
  line += " buffers=" + std::to_string(report.liveBuffers + report.liveSuiteBuffers + report.liveBasicBlocks);
  line += " ports=" + std::to_string(report.livePorts);
  line += " allocs=" + std::to_string(report.countedAllocations) + " failed=" + std::to_string(report.failedAllocations);
  line += std::string(" suites=") + (report.suitesBalanced ? "balanced" : "UNBALANCED");
  line += " misuse=" + std::to_string(report.misuse);
  line += " pathreads=" + std::to_string(report.pathReads);
  line += " display=" + std::to_string(report.displayCalls.size());
  line += " dialogs=" + std::to_string(report.dialogRequests);
  line += " writes=" + std::to_string(report.channelWrites);
  line += std::string(" descriptor=") +
          (report.descriptorWritten ? std::to_string(report.descriptor.items.size()) : std::string("none"));
  char checksum[24];
  std::snprintf(checksum, sizeof checksum, "%016" PRIx64, report.documentChecksum);
  line += std::string(" doc=") + checksum;
  return line;
}
