#pragma once
#include <string>
#include <vector>

namespace mv {

class ScriptWriter;

// An object of the source the script names in a remark instead of creating it.
struct NotScriptedObject {
  std::string object;  // what it is and its name ("CHECK constraint ck_price")
  std::string table;   // the table it belongs to; empty for an object of the schema
  std::string reason;
};

// The run-wide list of objects named in a remark, not scripted: every phase adds to it where
// the object belongs in the script, and the run's end message counts them, so nothing the
// source has is dropped without a word.
class NotScriptedList {
 public:
  // Writes the remark at the script's current place and records the object.
  void Add(ScriptWriter& out, NotScriptedObject item);
  const std::vector<NotScriptedObject>& Items() const { return items_; }
  void Clear() { items_.clear(); }

 private:
  std::vector<NotScriptedObject> items_;
};

// The remark's text for one object.
std::string NotScriptedRemark(const NotScriptedObject& item);
// The end message's addition: empty when every object was scripted.
std::string NotScriptedText(const std::vector<NotScriptedObject>& items);

}  // namespace mv
