#include "ini_document.h"

namespace platform::ini {

namespace {

bool SameName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    char x = a[i], y = b[i];
    if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
    if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
    if (x != y) return false;
  }
  return true;
}

// The name of a "[name]" line, or nullopt for any other line.
std::optional<std::string_view> SectionName(std::string_view line) {
  line = TrimBlanks(line);
  if (line.empty() || line.front() != '[') return std::nullopt;
  line.remove_prefix(1);
  return TrimBlanks(line.substr(0, line.find(']')));
}

bool IsComment(std::string_view line) {
  line = TrimBlanks(line);
  return !line.empty() && line.front() == ';';
}

}  // namespace

std::string_view TrimBlanks(std::string_view text) {
  const char* blanks = " \t\r\n\f\v";
  size_t first = text.find_first_not_of(blanks);
  if (first == std::string_view::npos) return {};
  size_t last = text.find_last_not_of(blanks);
  return text.substr(first, last - first + 1);
}

IniDocument::IniDocument(std::string_view text) {
  if (text.substr(0, 3) == "\xEF\xBB\xBF") {
    lines_.emplace_back("\xEF\xBB\xBF");  // kept as its own line so it stays first
    text.remove_prefix(3);
  }
  if (text.find("\r\n") != std::string_view::npos) line_end_ = "\r\n";
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    std::string_view line = text.substr(start, end == std::string_view::npos ? end : end - start);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    lines_.emplace_back(line);
    if (end == std::string_view::npos) break;
    start = end + 1;
  }
}

std::optional<IniDocument::Span> IniDocument::FindSection(std::string_view section) const {
  section = TrimBlanks(section);
  for (size_t i = 0; i < lines_.size(); ++i) {
    std::optional<std::string_view> name = SectionName(lines_[i]);
    if (!name || !SameName(*name, section)) continue;
    size_t end = i + 1;
    while (end < lines_.size() && !SectionName(lines_[end])) ++end;
    return Span{i, end};
  }
  return std::nullopt;
}

std::optional<size_t> IniDocument::FindKey(const Span& span, std::string_view key) const {
  key = TrimBlanks(key);
  for (size_t i = span.header + 1; i < span.end; ++i) {
    std::string_view line = lines_[i];
    if (IsComment(line)) continue;
    if (SameName(TrimBlanks(line.substr(0, line.find('='))), key)) return i;
  }
  return std::nullopt;
}

std::optional<std::string_view> IniDocument::Find(std::string_view section,
                                                  std::string_view key) const {
  std::optional<Span> span = FindSection(section);
  if (!span) return std::nullopt;
  std::optional<size_t> index = FindKey(*span, key);
  if (!index) return std::nullopt;
  std::string_view line = lines_[*index];
  size_t equals = line.find('=');
  return equals == std::string_view::npos ? std::string_view()
                                          : TrimBlanks(line.substr(equals + 1));
}

void IniDocument::Set(std::string_view section, std::string_view key, std::string_view value) {
  std::optional<Span> span = FindSection(section);
  if (!span) {
    if (!lines_.empty() && !TrimBlanks(lines_.back()).empty()) lines_.emplace_back();
    lines_.push_back("[" + std::string(section) + "]");
    lines_.push_back(std::string(key) + "=" + std::string(value));
    return;
  }
  if (std::optional<size_t> index = FindKey(*span, key)) {
    std::string_view line = lines_[*index];
    std::string written_key(TrimBlanks(line.substr(0, line.find('='))));
    lines_[*index] = written_key + "=" + std::string(value);
    return;
  }
  // After the section's last non-blank line, so blank lines before the next section stay.
  size_t insert_at = span->end;
  while (insert_at > span->header + 1 && TrimBlanks(lines_[insert_at - 1]).empty()) --insert_at;
  lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(insert_at),
                std::string(key) + "=" + std::string(value));
}

void IniDocument::Remove(std::string_view section, std::string_view key) {
  std::optional<Span> span = FindSection(section);
  if (!span) return;
  if (std::optional<size_t> index = FindKey(*span, key)) {
    lines_.erase(lines_.begin() + static_cast<std::ptrdiff_t>(*index));
  }
}

void IniDocument::RemoveSection(std::string_view section) {
  std::optional<Span> span = FindSection(section);
  if (!span) return;
  lines_.erase(lines_.begin() + static_cast<std::ptrdiff_t>(span->header),
               lines_.begin() + static_cast<std::ptrdiff_t>(span->end));
}

std::string IniDocument::Text() const {
  std::string text;
  for (size_t i = 0; i < lines_.size(); ++i) {
    text += lines_[i];
    if (i == 0 && lines_[i] == "\xEF\xBB\xBF") continue;
    text += line_end_;
  }
  return text;
}

}  // namespace platform::ini
