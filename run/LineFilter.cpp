#include "run/LineFilter.h"

namespace mv {

void LineFilter::LineEnd(std::string& out) {
  bool carriageReturn = false;
  if (!held_.empty() && held_.back() == '\r') {
    held_.pop_back();
    carriageReturn = !lineFeeds_;
  }
  if (trim_)
    while (!held_.empty() && (held_.back() == ' ' || held_.back() == '\t')) held_.pop_back();
  out += held_;
  held_.clear();
  if (carriageReturn) out += '\r';
  out += '\n';
}

void LineFilter::Filter(std::string_view in, std::string& out) {
  for (const char c : in) {
    if (c == '\n') {
      LineEnd(out);
    } else if (c == '\r' || (trim_ && (c == ' ' || c == '\t'))) {
      // A carriage return not followed by a line feed is text: it goes out before the next blank.
      if (c != '\r' && !held_.empty() && held_.back() == '\r') {
        out += held_;
        held_.clear();
      }
      held_ += c;
    } else {
      if (!held_.empty()) {
        out += held_;
        held_.clear();
      }
      out += c;
    }
  }
}

void LineFilter::Verbatim(std::string_view in, std::string& out) {
  out += held_;
  held_.clear();
  out.append(in);
}

void LineFilter::Finish(std::string& out) {
  if (trim_)
    while (!held_.empty() && (held_.back() == ' ' || held_.back() == '\t')) held_.pop_back();
  out += held_;
  held_.clear();
}

}  // namespace mv
