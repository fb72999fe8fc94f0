// An initialisation file held as its lines, so a change touches one line and keeps the
// rest (comments, blank lines, unknown lines, order) exactly as written.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace platform::ini {

std::string_view TrimBlanks(std::string_view text);

class IniDocument {
 public:
  explicit IniDocument(std::string_view text);

  // The trimmed value of the first matching key in the first matching section.
  std::optional<std::string_view> Find(std::string_view section, std::string_view key) const;
  void Set(std::string_view section, std::string_view key, std::string_view value);
  void Remove(std::string_view section, std::string_view key);
  void RemoveSection(std::string_view section);

  std::string Text() const;

 private:
  struct Span {
    size_t header;  // index of the "[section]" line
    size_t end;     // one past the section's last line
  };
  std::optional<Span> FindSection(std::string_view section) const;
  std::optional<size_t> FindKey(const Span& span, std::string_view key) const;

  std::vector<std::string> lines_;
  std::string line_end_ = "\n";
};

}  // namespace platform::ini
