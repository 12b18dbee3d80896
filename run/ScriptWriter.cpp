#include "run/ScriptWriter.h"

#include "profiles/Profile.h"
#include "run/ScriptNames.h"
#include "run/ScriptOutput.h"
#include "run/Statements.h"
#include "settings/RunOptions.h"

namespace mv {

void ScriptWriter::Write(const ScriptText& text) { out_.Write(text); }

void ScriptWriter::Write(std::string_view text, TextRole role, bool counted) { out_.Write(text, role, counted); }

void ScriptWriter::BlankLine() { out_.Write("\r\n", TextRole::RemarkMarker, true); }

void ScriptWriter::RemarkStart(std::string_view words, TextRole role) {
  out_.Write(profile_.s_Remarks + "  ", TextRole::RemarkMarker);
  out_.Write(words, role);
}

void ScriptWriter::Heading(std::string_view words, std::string_view name) {
  if (!opts_.b_DoRemarks) return;
  RemarkStart(words, TextRole::Remark);
  // A line break in a name never ends the remark line.
  std::string line = RemarkSafe(std::string(name));
  line += "\r\n\r\n";
  out_.Write(line, TextRole::Sql, true);
}

void ScriptWriter::SimpleStatement(std::string_view keyword, std::string_view object, std::string_view after) {
  std::string head(keyword);
  head += ' ';
  out_.Write(head, TextRole::Remark);
  // A profile may write a statement as a remark (a DROP INDEX its target cannot run): a line
  // break in the name must not end that remark.
  const std::string& marker = profile_.s_Remarks;
  if (!marker.empty() && keyword.substr(0, marker.size()) == marker)
    out_.Write(RemarkSafe(std::string(object)), TextRole::Sql);
  else
    out_.Write(object, TextRole::Sql);
  scratch_.Clear();
  AddTerminator(scratch_, profile_, after);
  out_.Write(scratch_);
}

void ScriptWriter::MessageRemark(std::string_view text, std::string_view before, std::string_view after) {
  // A line break in the text never ends the remark: every line starts with the marker.
  std::string out(before);
  size_t start = 0;
  for (;;) {
    size_t end = text.find('\n', start);
    std::string_view line = text.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    out += profile_.s_Remarks;
    out += "  ";
    out += line;
    if (end == std::string_view::npos) break;
    out += "\r\n";
    start = end + 1;
  }
  out += after;
  out_.Write(out, TextRole::Message, true);
}

void ScriptWriter::Commit(bool tableEnd) {
  scratch_.Clear();
  scratch_.Add(profile_.s_Commit, TextRole::Remark);
  if (profile_.b_CommitNeedsExecute)
    AddTerminator(scratch_, profile_, "\r\n\r\n");
  else if (!tableEnd)
    scratch_.Add("\r\n\r\n", TextRole::Remark, true);
  out_.Write(scratch_);
}

}  // namespace mv
