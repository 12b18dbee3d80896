#include "db/ConditionCheck.h"

#include <string_view>
#include <vector>

#include "base/TextRules.h"

namespace mv {

namespace {

enum class Lexer { SQLite, PostgreSQL, MariaDB };

constexpr const char* kUnterminated = "holds an unterminated quote or comment";

struct Token {
  enum Kind { Word, QuotedName, Text, Punct } kind;
  std::string text;  // words and names as written (quotes removed); punctuation its one character
};

// The functions a condition may not call, lower case; a trailing '*' matches every name that
// starts so. They write, lock, wait, reach files or other connections, or change settings: each
// acts outside the read-only transaction the run reads in. The README lists them.
constexpr std::string_view kPostgresDenied =
    "set_config lo_* lowrite dblink* pg_reload_conf pg_terminate_backend pg_cancel_backend pg_sleep* pg_advisory* "
    "pg_try_advisory* pg_notify nextval setval pg_read_file pg_read_binary_file pg_file_* pg_rotate_logfile "
    "pg_switch_wal pg_create_* pg_drop_replication_slot pg_replication_* pg_logical_emit_message pg_promote "
    "pg_backup_* pg_start_backup pg_stop_backup pg_stat_reset* query_to_xml* cursor_to_xml* ts_stat";
constexpr std::string_view kMariaDbDenied =
    "sleep benchmark get_lock release_lock release_all_locks load_file master_pos_wait master_gtid_wait nextval setval "
    "sys_exec sys_eval";
constexpr std::string_view kSqliteDenied = "load_extension fts3_tokenizer readfile writefile edit";

bool Denied(std::string_view list, const std::string& lowerName) {
  for (size_t start = 0; start < list.size();) {
    size_t end = list.find(' ', start);
    if (end == std::string_view::npos) end = list.size();
    const std::string_view entry = list.substr(start, end - start);
    start = end + 1;
    if (entry.back() == '*' ? lowerName.compare(0, entry.size() - 1, entry.substr(0, entry.size() - 1)) == 0
                            : lowerName == entry)
      return true;
  }
  return false;
}

bool WordChar(unsigned char c) { return std::isalnum(c) || c == '_' || c == '$' || c >= 0x80; }
bool TagStart(unsigned char c) { return std::isalpha(c) || c == '_' || c >= 0x80; }

// Splits condition into tokens under one reading; false with why, and the tokens up to there,
// when it holds what no expression may (a separator is a token, judged by the caller).
bool Tokenize(const std::string& c, Lexer lexer, bool backslashEscapes, std::vector<Token>& out, std::string& why) {
  const size_t n = c.size();
  auto refuse = [&](const char* text) {
    why = text;
    return false;
  };
  for (size_t i = 0; i < n;) {
    const unsigned char ch = static_cast<unsigned char>(c[i]);
    const char next = i + 1 < n ? c[i + 1] : '\0';
    if (IsWhiteSpace(static_cast<char>(ch))) {
      ++i;
      continue;
    }
    // A line comment ends at a carriage return as well as at a line feed: whichever ends it
    // first for an engine, nothing after it is taken for comment here.
    const bool dashComment = ch == '-' && next == '-' &&
                             (lexer != Lexer::MariaDB || i + 2 >= n || static_cast<unsigned char>(c[i + 2]) <= ' ');
    if (dashComment || (ch == '#' && lexer == Lexer::MariaDB)) {
      const size_t end = c.find_first_of("\r\n", i);
      i = end == std::string::npos ? n : end + 1;
      continue;
    }
    if (ch == '/' && next == '*') {
      if (lexer == Lexer::MariaDB && (c.compare(i, 3, "/*!") == 0 || c.compare(i, 4, "/*M!") == 0))
        return refuse("holds an executable comment (/*!)");
      // PostgreSQL nests comments; the others end one at the first "*/".
      int depth = 1;
      size_t j = i + 2;
      while (j < n && depth > 0) {
        if (c.compare(j, 2, "*/") == 0) {
          --depth;
          j += 2;
        } else if (lexer == Lexer::PostgreSQL && c.compare(j, 2, "/*") == 0) {
          ++depth;
          j += 2;
        } else {
          ++j;
        }
      }
      if (depth > 0) return refuse(kUnterminated);
      i = j;
      continue;
    }
    if (lexer == Lexer::PostgreSQL && ch == '$') {
      // A dollar quote: $$ or $tag$, up to the same mark.
      size_t j = i + 1;
      if (j < n && TagStart(static_cast<unsigned char>(c[j])))
        while (j < n && WordChar(static_cast<unsigned char>(c[j])) && c[j] != '$') ++j;
      if (j < n && c[j] == '$') {
        const std::string mark = c.substr(i, j - i + 1);
        const size_t end = c.find(mark, j + 1);
        if (end == std::string::npos) return refuse(kUnterminated);
        out.push_back({Token::Text, c.substr(j + 1, end - j - 1)});
        i = end + mark.size();
        continue;
      }
    }
    char quote = '\0';
    Token::Kind kind = Token::Text;
    if (ch == '\'') {
      quote = '\'';
    } else if (ch == '"') {
      quote = '"';
      kind = lexer == Lexer::MariaDB ? Token::Text : Token::QuotedName;
    } else if (ch == '`' && lexer != Lexer::PostgreSQL) {
      quote = '`';
      kind = Token::QuotedName;
    } else if (ch == '[' && lexer == Lexer::SQLite) {
      const size_t end = c.find(']', i + 1);
      if (end == std::string::npos) return refuse(kUnterminated);
      out.push_back({Token::QuotedName, c.substr(i + 1, end - i - 1)});
      i = end + 1;
      continue;
    }
    if (quote) {
      // E'...' escapes with a backslash whatever the server's settings; MariaDB's strings do
      // unless its SQL mode says otherwise, and PostgreSQL's plain ones when a setting says so.
      const bool ePrefix = lexer == Lexer::PostgreSQL && !out.empty() && out.back().kind == Token::Word &&
                           (out.back().text == "E" || out.back().text == "e") && i > 0 &&
                           (c[i - 1] == 'E' || c[i - 1] == 'e');
      const bool escapes = quote != '`' && lexer != Lexer::SQLite &&
                           (ePrefix || (backslashEscapes && !(lexer == Lexer::PostgreSQL && quote == '"')));
      std::string text;
      size_t j = i + 1;
      bool closed = false;
      for (; j < n; ++j) {
        if (escapes && c[j] == '\\' && j + 1 < n) {
          text += c[++j];
        } else if (c[j] == quote) {
          if (j + 1 < n && c[j + 1] == quote) {
            text += quote;
            ++j;
          } else {
            closed = true;
            break;
          }
        } else {
          text += c[j];
        }
      }
      if (!closed) return refuse(kUnterminated);
      if (ePrefix) out.pop_back();
      out.push_back({kind, std::move(text)});
      i = j + 1;
      continue;
    }
    if (WordChar(ch)) {
      size_t j = i;
      while (j < n && WordChar(static_cast<unsigned char>(c[j]))) ++j;
      out.push_back({Token::Word, c.substr(i, j - i)});
      i = j;
      continue;
    }
    out.push_back({Token::Punct, std::string(1, static_cast<char>(ch))});
    ++i;
  }
  return true;
}

std::string Judge(const std::string& condition, Lexer lexer, bool backslashEscapes) {
  // The tokens before an unterminated quote or comment are judged first, so a refusal names
  // what a reader would see first.
  std::vector<Token> tokens;
  std::string unterminated;
  Tokenize(condition, lexer, backslashEscapes, tokens, unterminated);
  for (size_t i = 0; i < tokens.size(); ++i) {
    const Token& t = tokens[i];
    if (t.kind == Token::Punct && t.text == ";") return "holds a statement separator (;) outside quotes";
    if (t.kind == Token::Word && Upper(t.text) == "INTO") return "holds INTO outside quotes";
    const bool call = (t.kind == Token::Word || t.kind == Token::QuotedName) && i + 1 < tokens.size() &&
                      tokens[i + 1].kind == Token::Punct && tokens[i + 1].text == "(";
    if (!call) continue;
    const std::string name = Lower(t.text);
    const bool denied = lexer == Lexer::PostgreSQL ? Denied(kPostgresDenied, name)
                        : lexer == Lexer::MariaDB  ? Denied(kMariaDbDenied, name)
                                                   : Denied(kSqliteDenied, name);
    if (denied) return "calls " + t.text + ", which acts outside the read-only run";
  }
  return unterminated;
}

}  // namespace

std::string ConditionRefusal(const std::string& condition, Engine engine) {
  std::vector<Lexer> lexers;
  switch (engine) {
    case Engine::SQLite:
      lexers = {Lexer::SQLite};
      break;
    case Engine::PostgreSQL:
      lexers = {Lexer::PostgreSQL};
      break;
    case Engine::MariaDB:
      lexers = {Lexer::MariaDB};
      break;
    case Engine::Other:
      lexers = {Lexer::SQLite, Lexer::PostgreSQL, Lexer::MariaDB};
      break;
  }
  // Refused when any reading refuses; what one reading saw outside quotes is named before
  // another's unterminated quote.
  std::string unterminated;
  for (Lexer lexer : lexers)
    for (bool backslash : {false, true}) {
      if (backslash && lexer == Lexer::SQLite) continue;
      std::string why = Judge(condition, lexer, backslash);
      if (why == kUnterminated)
        unterminated = why;
      else if (!why.empty())
        return why;
    }
  return unterminated;
}

}  // namespace mv
