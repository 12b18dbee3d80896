#pragma once
#include <string>
#include <string_view>
#include <vector>

#include "base/ScriptWindow.h"

namespace mv {

// What a piece of script text is; the palette gives each role its colour.
enum class TextRole {
  RemarkMarker,  // the profile's remark marker and blank lines
  Remark,        // remark wording, and the profile's keywords (DROP TABLE, INSERT INTO, ...)
  Name,          // names of columns and values
  Sql,           // SQL text and the names of tables and indexes
  Message,       // the run's own messages (errors, notes)
  Text,          // plain wording
  Data,          // the values of rows, coloured as names: their bytes are never rewritten
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
      case TextRole::Data:
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

  // Without pieces the text is only written whole, where colours do not matter: it keeps
  // only whether some piece was counted.
  void KeepPieces(bool keep) { keepPieces_ = keep; }

  ScriptText& Add(std::string_view text, TextRole role, bool counted = false) {
    counted_ = counted_ || counted;
    if (!keepPieces_) {
      text_.append(text);
      return *this;
    }
    if (text.empty() && !counted) return *this;
    // A piece of the same role right after one without a check joins it.
    if (!pieces_.empty() && pieces_.back().role == role && !pieces_.back().counted) {
      pieces_.back().length += text.size();
      pieces_.back().counted = counted;
    } else {
      pieces_.push_back({text_.size(), text.size(), role, counted});
    }
    text_.append(text);
    return *this;
  }
  // Adds every piece of another text, joined as Add would join them.
  ScriptText& Append(const ScriptText& other) {
    counted_ = counted_ || other.counted_;
    if (!keepPieces_) {
      text_.append(other.text_);
      return *this;
    }
    const size_t base = text_.size();
    for (const Piece& p : other.pieces_) {
      if (!pieces_.empty() && pieces_.back().role == p.role && !pieces_.back().counted) {
        pieces_.back().length += p.length;
        pieces_.back().counted = p.counted;
      } else {
        pieces_.push_back({base + p.start, p.length, p.role, p.counted});
      }
    }
    text_.append(other.text_);
    return *this;
  }
  const std::string& Text() const { return text_; }
  bool AnyCounted() const { return counted_; }
  const std::vector<Piece>& Pieces() const { return pieces_; }
  bool Empty() const { return text_.empty(); }
  // Keeps the capacity: a statement rebuilt for every row allocates nothing.
  void Clear() {
    text_.clear();
    pieces_.clear();
    counted_ = false;
  }

 private:
  std::string text_;
  std::vector<Piece> pieces_;
  bool keepPieces_ = true;
  bool counted_ = false;  // whether some counted text was added
};

}  // namespace mv
