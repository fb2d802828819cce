#include "session/files.h"

#include <cerrno>

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

namespace {

std::string ImportNotes(const LayoutImport& result) {
  std::string notes;
  for (const auto& [kind, count] : result.dropped)
    notes += "Left out: " + std::to_string(count) + " " + kind + "\n";
  for (const std::string& warning : result.warnings) notes += warning + "\n";
  return notes;
}

}  // namespace

LayoutImport OpenInterchangeFile(Session& s, const std::string& path, LayoutFormat format,
                                 ReadMode mode) {
  const LayoutImport result =
      ImportLayoutFile(s.layout, s.technology, path, format, mode, s.progress);
  s.LastError = result.ioError != 0        ? result.ioError
                : !result.error.empty()    ? EINVAL
                                           : result.table;
  ShowStatus(s.platform, result.message);
  const std::string notes = ImportNotes(result);
  if (!notes.empty()) s.platform.ShowMessage("Warning", notes, MessageButtons::Ok);
  return result;
}

bool OpenAnyLayoutFile(Session& s, const std::string& path, ReadMode mode) {
  const LayoutFormat format = LayoutFormatOf(path).value_or(LayoutFormat::Msk);
  if (format == LayoutFormat::Msk) return OpenLayoutFile(s, path, mode).LastError() == 0;
  const LayoutImport result = OpenInterchangeFile(s, path, format, mode);
  return result.Read() && result.table == kTableOk;
}

bool SaveAnyLayoutFile(Session& s, const std::string& path, std::vector<std::string>* warnings) {
  const LayoutFormat format = LayoutFormatOf(path).value_or(LayoutFormat::Msk);
  if (format == LayoutFormat::Msk) return SaveLayoutFile(s, path);
  ShowStatus(s.platform, "Save file...");
  const LayoutExport result =
      ExportLayoutFile(s.layout, s.technology, path, format, s.platform.Now(), s.progress);
  s.LastError = result.ioError;
  if (result.ioError == 0) {
    s.layout.wide.modified = 0;
    SetLayoutTitle(s, path);
  }
  std::string notes;
  for (const std::string& warning : result.warnings) notes += (notes.empty() ? "" : "; ") + warning;
  if (!notes.empty()) ShowStatus2(s.platform, notes);
  if (warnings) *warnings = result.warnings;
  ShowStatus(s.platform, result.message);
  return result.ioError == 0;
}

RuleTarget RuleTargetOf(Session& s) { return {s.technology, s.layout, s.viewerRanges}; }

void ReportRuleLoad(Session& s, const RuleLoadResult& result) {
  s.compiler.sizes = DefaultDeviceSizes(s.technology);
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
