#pragma once
#include <string>
#include <string_view>

namespace mv {

// Rewrites a run's text, piece by piece, for output that compares well: line feeds for
// "\r\n", and no blanks or tabs before a line end. What may still be followed by a line end
// (blanks, a carriage return) is held until the next piece shows. Values are passed through
// Verbatim: their bytes are the data.
class LineFilter {
 public:
  void Set(bool lineFeeds, bool trimLineEnds) {
    lineFeeds_ = lineFeeds;
    trim_ = trimLineEnds;
    held_.clear();
  }
  bool Active() const { return lineFeeds_ || trim_; }
  // A filter with the same rules and nothing held.
  LineFilter Fresh() const {
    LineFilter f;
    f.Set(lineFeeds_, trim_);
    return f;
  }
  // The filtered text of in is appended to out.
  void Filter(std::string_view in, std::string& out);
  // Text kept as it is; what was held is written before it.
  void Verbatim(std::string_view in, std::string& out);
  // The end of the run: what was held, without blanks that no text follows.
  void Finish(std::string& out);

 private:
  void LineEnd(std::string& out);

  bool lineFeeds_ = false;
  bool trim_ = false;
  std::string held_;  // blanks, tabs and carriage returns not yet written
};

}  // namespace mv
