#pragma once
#include <string>
#include <string_view>
#include <vector>

#include "shell/ScriptWindow.h"

namespace mv {

// What a piece of script text is; the palette gives each role its colour.
enum class TextRole {
  RemarkMarker,  // the profile's remark marker and blank lines
  Remark,        // remark wording, and the profile's keywords (DROP TABLE, INSERT INTO, ...)
  Name,          // names of columns and values
  Sql,           // SQL text and the names of tables and indexes
  Message,       // the run's own messages (errors, notes)
  Text,          // plain wording
};

struct Palette {
  static constexpr Color name{42, 42, 255};
  static constexpr Color message{130, 8, 54};
  static constexpr Color remarkMarker{130, 8, 54};
  static constexpr Color sql{255, 0, 0};
  static constexpr Color remark{9, 165, 46};
  static constexpr Color text{0, 0, 0};
  static constexpr Color Of(TextRole role) {
    switch (role) {
      case TextRole::RemarkMarker:
        return remarkMarker;
      case TextRole::Remark:
        return remark;
      case TextRole::Name:
        return name;
      case TextRole::Sql:
        return sql;
      case TextRole::Message:
        return message;
      case TextRole::Text:
        break;
    }
    return text;
  }
};

// Script text built as a value (a statement, a heading): its bytes and its pieces, each with a
// role and whether the auto-save rule is checked after it.
class ScriptText {
 public:
  struct Piece {
    size_t start = 0, length = 0;
    TextRole role = TextRole::Text;
    bool counted = false;
  };

  ScriptText& Add(std::string_view text, TextRole role, bool counted = false) {
    if (text.empty() && !counted) return *this;
    pieces_.push_back({text_.size(), text.size(), role, counted});
    text_.append(text);
    return *this;
  }
  const std::string& Text() const { return text_; }
  const std::vector<Piece>& Pieces() const { return pieces_; }
  bool Empty() const { return text_.empty(); }
  // Keeps the capacity: a statement rebuilt for every row allocates nothing.
  void Clear() {
    text_.clear();
    pieces_.clear();
  }

 private:
  std::string text_;
  std::vector<Piece> pieces_;
};

}  // namespace mv
