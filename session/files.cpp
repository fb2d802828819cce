#include "session/files.h"

#include "session/session.h"

namespace tarnisk {

void ReportLayoutRead(Session& s, const LayoutReadResult& result) {
  s.LastError = result.LastError();
  ShowStatus(s.platform, result.message);
}

LayoutReadResult OpenLayoutFile(Session& s, const std::string& path, ReadMode mode) {
  const LayoutReadResult result = ReadLayoutFile(s.layout, path, mode, s.progress);
  ReportLayoutRead(s, result);
  return result;
}

LayoutReadResult OpenLayoutText(Session& s, std::string_view text, const std::string& name,
                                ReadMode mode) {
  const LayoutReadResult result = ReadLayoutText(s.layout, text, name, mode, s.progress);
  ReportLayoutRead(s, result);
  return result;
}

bool SaveLayoutFile(Session& s, const std::string& path) {
  const LayoutWriteResult result = WriteLayoutFile(s.layout, path, s.platform.Now(), s.progress);
  s.LastError = result.ioError;
  if (result.ioError == 0) SetLayoutTitle(s, path);
  ShowStatus(s.platform, result.message);
  return result.ioError == 0;
}

RuleTarget RuleTargetOf(Session& s) { return {s.technology, s.layout, s.viewerRanges}; }

void ReportRuleLoad(Session& s, const RuleLoadResult& result) {
  if (result.status == RuleLoadStatus::Malformed)
    s.platform.ShowMessage("Error", "Invalid numeric input", MessageButtons::Ok);
  else if (result.status == RuleLoadStatus::Loaded)
    s.defaultVddTextLevel = s.technology.VDD;
  if (result.status == RuleLoadStatus::Loaded && !result.recognised)
    s.platform.ShowMessage("Warning", kNoRuleRecognisedMessage, MessageButtons::Ok);
}

RuleLoadResult LoadRuleFile(Session& s, const std::string& path) {
  const RuleLoadResult result = ReadRuleFile(RuleTargetOf(s), path, s.progress);
  ReportRuleLoad(s, result);
  return result;
}

RuleLoadResult LoadRules(Session& s, std::string_view text) {
  const RuleLoadResult result = LoadRuleText(RuleTargetOf(s), text, true, s.progress);
  ReportRuleLoad(s, result);
  return result;
}

CifLayout CifLayoutOf(Session& s) {
  return {s.layout, s.technology, s.platform.Now(), s.progress};
}

}  // namespace tarnisk
