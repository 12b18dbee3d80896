#include "run/NotScripted.h"

#include "run/ScriptWriter.h"

namespace mv {

namespace {

std::string Where(const NotScriptedObject& item) {
  return item.table.empty() ? item.object : item.object + " of table " + item.table;
}

}  // namespace

std::string NotScriptedRemark(const NotScriptedObject& item) {
  return "NOT SCRIPTED: " + Where(item) + ": " + item.reason;
}

void NotScriptedList::Add(ScriptWriter& out, NotScriptedObject item) {
  out.MessageRemark(NotScriptedRemark(item), "\r\n", "\r\n");
  items_.push_back(std::move(item));
}

std::string NotScriptedText(const std::vector<NotScriptedObject>& items) {
  if (items.empty()) return {};
  std::string text = "\n\n" + std::to_string(items.size()) + (items.size() == 1 ? " object is" : " objects are") +
                     " named in a remark, not scripted (the NOT SCRIPTED remarks in the script say why):";
  for (const NotScriptedObject& item : items) text += "\n    " + Where(item);
  return text;
}

}  // namespace mv
