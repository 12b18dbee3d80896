#pragma once
#include <string>
#include <unordered_map>
#include <vector>

namespace mv {

// An INI document with private-profile semantics: writing a key replaces its line in its
// section, sections and keys keep their first-written order, a missing key reads as "",
// section and key names compare without regard to case (ASCII letters only).
//
// Lines are kept as read: comments, blank lines, lines that are not "key=value", the line ends
// of each line (CRLF or LF) and a leading byte-order mark survive a load and save unchanged,
// so a document that is only read and saved again is byte for byte the same file. As the
// private-profile routines read them, blanks (spaces and tabs) around section names, key names
// and values are ignored; otherwise a value is taken byte for byte as it follows the first "="
// of its line (no quote stripping), so further "=" and inner blanks belong to it. A value set
// with blanks around it reads back without them. When a key or section appears twice, the
// first one counts. Lookups take constant time, so long lists load in linear time.
//
// Line-break encoding. One INI line cannot hold a line break, so a value is stored encoded
// when, and only when, it holds a CR or LF byte or it begins with the marker itself:
//
//   stored = "\mv:" + body      (the marker is backslash, 'm', 'v', ':')
//   body:    backslash -> "\\",  CR -> "\r",  LF -> "\n",  every other byte as is
//
// Any other value is stored byte for byte, so files whose values hold no line break stay
// readable both ways. A stored value that does not begin with the marker is never decoded.
// The marker cannot begin a Windows UNC path ("\\server") and hardly any real value, so an
// ordinary value is almost never encoded. Decoding is lenient: an unknown escape or a lone
// trailing backslash is kept as it stands.
class IniFile {
 public:
  // Reads a file; a missing file is an empty document. Returns false (and leaves the document
  // empty) when the file exists but cannot be read. Any content parses; nothing crashes.
  bool Load(const std::string& path);
  void Parse(const std::string& text);
  // Writes atomically (temporary file in the same folder, then rename). mode applies to a new
  // file, or to any file when forceMode is set.
  bool Save(const std::string& path, unsigned mode = 0644, bool forceMode = false) const;
  std::string Serialize() const;

  // Values are given and returned raw; the encoding above is applied inside.
  std::string Get(const std::string& section, const std::string& key) const;
  bool Has(const std::string& section, const std::string& key) const;
  void Set(const std::string& section, const std::string& key, const std::string& value);
  void RemoveSection(const std::string& section);
  void Clear();

  // The line end of lines this document adds ("\n" unless a loaded file used "\r\n" first).
  void SetLineBreak(const std::string& eol) { eol_ = eol; }
  const std::string& LineBreak() const { return eol_; }
  // Why the last Save failed.
  const std::string& LastError() const { return lastError_; }

  static std::string EncodeValue(const std::string& raw);
  static std::string DecodeValue(const std::string& stored);

 private:
  // One line of the file. For a key line, key and value (stored form) are split out; text is the
  // whole line as read and is rebuilt when the value changes.
  struct Entry {
    std::string key, value;
    std::string text;
    std::string eol;
    bool isKey = false;
  };
  struct Section {
    std::string name;
    std::string headerText, headerEol;
    bool hasHeader = true;  // false only for the lines before the first section
    std::vector<Entry> entries;
    // The first entry of each key name, by its lower-case form.
    std::unordered_map<std::string, size_t> keys;
  };
  Section* FindSection(const std::string& name);
  const Section* FindSection(const std::string& name) const;
  static const Entry* FindEntry(const Section& s, const std::string& key);
  void IndexSections();
  std::vector<Section> sections_;
  // The first section of each name, by its lower-case form.
  std::unordered_map<std::string, size_t> sectionIndex_;
  std::string bom_;
  std::string eol_ = "\n";
  mutable std::string lastError_;
};

}  // namespace mv
