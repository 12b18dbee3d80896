#include "base/IniFile.h"

#include <sys/stat.h>

#include <cerrno>

#include "base/AtomicFile.h"
#include "base/TextRules.h"

namespace mv {

namespace {

constexpr char kMarker[] = "\\mv:";
constexpr size_t kMarkerLen = sizeof kMarker - 1;
constexpr char kBom[] = "\xEF\xBB\xBF";

// Names compare without regard to ASCII case, so they are looked up by this form.
std::string Folded(const std::string& name) { return Lower(name); }

// Only blanks and tabs surround a key or value: other control characters belong to it.
std::string Trim(const std::string& s) { return mv::Trim(s, " \t"); }

bool StartsWithMarker(const std::string& s) { return s.compare(0, kMarkerLen, kMarker) == 0; }

// The line at pos without its line end, which goes to eol ("\n", "\r\n", or empty for a last
// line without one); pos moves past it.
void NextLine(const std::string& text, size_t& pos, std::string& line, std::string& eol) {
  const size_t nl = text.find('\n', pos);
  eol.clear();
  if (nl == std::string::npos) {
    line = text.substr(pos);
    pos = text.size();
    return;
  }
  line = text.substr(pos, nl - pos);
  pos = nl + 1;
  eol = "\n";
  if (!line.empty() && line.back() == '\r') {
    line.pop_back();
    eol = "\r\n";
  }
}

}  // namespace

std::string IniFile::EncodeValue(const std::string& raw) {
  const bool needed = raw.find_first_of("\r\n") != std::string::npos || StartsWithMarker(raw);
  if (!needed) return raw;
  std::string out(kMarker);
  out.reserve(raw.size() + kMarkerLen + 8);
  for (char c : raw) {
    switch (c) {
      case '\\':
        out += "\\\\";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\n':
        out += "\\n";
        break;
      default:
        out += c;
    }
  }
  return out;
}

std::string IniFile::DecodeValue(const std::string& stored) {
  if (!StartsWithMarker(stored)) return stored;
  std::string out;
  out.reserve(stored.size());
  for (size_t i = kMarkerLen; i < stored.size(); ++i) {
    const char c = stored[i];
    if (c != '\\' || i + 1 == stored.size()) {
      out += c;
      continue;
    }
    const char n = stored[i + 1];
    if (n == '\\')
      out += '\\';
    else if (n == 'r')
      out += '\r';
    else if (n == 'n')
      out += '\n';
    else {
      out += c;
      out += n;
    }
    ++i;
  }
  return out;
}

void IniFile::Clear() {
  sections_.clear();
  sectionIndex_.clear();
  bom_.clear();
}

void IniFile::IndexSections() {
  sectionIndex_.clear();
  for (size_t i = 0; i < sections_.size(); ++i)
    if (sections_[i].hasHeader) sectionIndex_.emplace(Folded(sections_[i].name), i);
}

bool IniFile::Load(const std::string& path) {
  std::string text;
  if (!ReadWholeFile(path, text)) {
    struct stat st {};
    const bool missing = ::stat(path.c_str(), &st) != 0 && (errno == ENOENT || errno == ENOTDIR);
    Clear();
    return missing;
  }
  Parse(text);
  return true;
}

void IniFile::Parse(const std::string& text) {
  Clear();
  size_t pos = 0;
  if (text.compare(0, 3, kBom) == 0) {
    bom_ = kBom;
    pos = 3;
  }
  bool eolSeen = false;
  Section* current = nullptr;
  std::string line, eol;
  while (pos < text.size()) {
    NextLine(text, pos, line, eol);
    if (!eolSeen && !eol.empty()) {
      eol_ = eol;
      eolSeen = true;
    }

    const std::string trimmed = Trim(line);
    if (!trimmed.empty() && trimmed.front() == '[') {
      const size_t close = trimmed.find(']');
      if (close != std::string::npos) {
        Section s;
        s.name = Trim(trimmed.substr(1, close - 1));
        s.headerText = line;
        s.headerEol = eol;
        sectionIndex_.emplace(Folded(s.name), sections_.size());
        sections_.push_back(std::move(s));
        current = &sections_.back();
        continue;
      }
    }
    if (!current) {
      Section pre;
      pre.hasHeader = false;
      sections_.push_back(std::move(pre));
      current = &sections_.back();
    }
    Entry e;
    e.text = line;
    e.eol = eol;
    const size_t eq = line.find('=');
    if (current->hasHeader && eq != std::string::npos) {
      e.key = Trim(line.substr(0, eq));
      if (!e.key.empty()) {
        e.isKey = true;
        e.value = Trim(line.substr(eq + 1));
        current->keys.emplace(Folded(e.key), current->entries.size());
      }
    }
    current->entries.push_back(std::move(e));
  }
}

std::string IniFile::Serialize() const {
  // Collect the lines first: a line read without a line end (the file's last) needs one as soon
  // as anything follows it.
  std::vector<std::pair<const std::string*, const std::string*>> lines;
  for (const Section& s : sections_) {
    if (s.hasHeader) lines.emplace_back(&s.headerText, &s.headerEol);
    for (const Entry& e : s.entries) lines.emplace_back(&e.text, &e.eol);
  }
  std::string out = bom_;
  for (size_t i = 0; i < lines.size(); ++i) {
    out += *lines[i].first;
    if (!lines[i].second->empty())
      out += *lines[i].second;
    else if (i + 1 < lines.size())
      out += eol_;
  }
  return out;
}

bool IniFile::Save(const std::string& path, unsigned mode, bool forceMode) const {
  lastError_ = WriteFileAtomically(path, Serialize(), mode, forceMode);
  return lastError_.empty();
}

IniFile::Section* IniFile::FindSection(const std::string& name) {
  const auto it = sectionIndex_.find(Folded(Trim(name)));
  return it == sectionIndex_.end() ? nullptr : &sections_[it->second];
}

const IniFile::Section* IniFile::FindSection(const std::string& name) const {
  const auto it = sectionIndex_.find(Folded(Trim(name)));
  return it == sectionIndex_.end() ? nullptr : &sections_[it->second];
}

const IniFile::Entry* IniFile::FindEntry(const Section& s, const std::string& key) {
  const auto it = s.keys.find(Folded(Trim(key)));
  return it == s.keys.end() ? nullptr : &s.entries[it->second];
}

std::string IniFile::Get(const std::string& section, const std::string& key) const {
  const Section* s = FindSection(section);
  if (!s) return {};
  const Entry* e = FindEntry(*s, key);
  return e ? DecodeValue(e->value) : std::string();
}

bool IniFile::Has(const std::string& section, const std::string& key) const {
  const Section* s = FindSection(section);
  return s && FindEntry(*s, key);
}

void IniFile::Set(const std::string& section, const std::string& key, const std::string& value) {
  Section* s = FindSection(section);
  if (!s) {
    Section fresh;
    fresh.name = section;
    fresh.headerText = "[" + section + "]";
    fresh.headerEol = eol_;
    sectionIndex_.emplace(Folded(section), sections_.size());
    sections_.push_back(std::move(fresh));
    s = &sections_.back();
  }
  // Blanks around a value do not survive a read, so they are not kept in memory either.
  const std::string stored = EncodeValue(Trim(value));
  // A new key goes after the section's last key, ahead of any trailing blank or comment lines;
  // only such lines move, so the key index stays valid.
  size_t at = s->entries.size();
  while (at > 0 && !s->entries[at - 1].isKey) --at;
  const auto [found, added] = s->keys.try_emplace(Folded(key), at);
  if (!added) {
    Entry& e = s->entries[found->second];
    e.value = stored;
    e.text = e.key + "=" + stored;
    return;
  }
  Entry e;
  e.key = key;
  e.value = stored;
  e.text = key + "=" + stored;
  e.eol = eol_;
  e.isKey = true;
  s->entries.insert(s->entries.begin() + static_cast<std::ptrdiff_t>(at), std::move(e));
}

void IniFile::RemoveSection(const std::string& section) {
  const std::string name = Folded(Trim(section));
  std::vector<Section> kept;
  kept.reserve(sections_.size());
  for (Section& s : sections_)
    if (!(s.hasHeader && Folded(s.name) == name)) kept.push_back(std::move(s));
  sections_ = std::move(kept);
  IndexSections();
}

}  // namespace mv
