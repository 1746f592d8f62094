#include "runtime/ini_text.h"

#include "runtime/gbk.h"

namespace zorv {
namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view Trimmed(std::string_view text) {
    while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
    return text;
}

char AsciiLower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

// Equal but for the case of ASCII letters; double-byte characters compare
// byte for byte (a trail byte is never folded).
bool SameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size();) {
        std::size_t step = GbkCharLength(a, i);
        if (step == 2) {
            if (a[i] != b[i] || a[i + 1] != b[i + 1]) return false;
        } else if (AsciiLower(a[i]) != AsciiLower(b[i])) {
            return false;
        }
        i += step;
    }
    return true;
}

std::string_view Unquoted(std::string_view value) {
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front()) {
        return value.substr(1, value.size() - 2);
    }
    return value;
}

}  // namespace

std::optional<std::string> FindIniValue(std::string_view content, std::string_view section, std::string_view key) {
    section = Trimmed(section);
    key = Trimmed(key);
    enum class Place { Before, Inside, After } place = Place::Before;
    while (!content.empty()) {
        std::size_t end = content.find('\n');
        std::string_view line = content.substr(0, end);
        content.remove_prefix(end == std::string_view::npos ? content.size() : end + 1);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        line = Trimmed(line);
        if (!line.empty() && line.front() == '[') {
            std::string_view name = line.substr(1);
            name = Trimmed(name.substr(0, FindFirstGbkChar(name, ']')));
            if (place == Place::Inside) return std::nullopt;  // only the first section of the name counts
            if (place == Place::Before && SameName(name, section)) place = Place::Inside;
            continue;
        }
        if (place != Place::Inside) continue;
        std::size_t equals = FindFirstGbkChar(line, '=');
        std::string_view name = Trimmed(line.substr(0, equals));
        if (name.empty() || !SameName(name, key)) continue;
        if (equals == std::string_view::npos) return std::string();
        return std::string(Unquoted(Trimmed(line.substr(equals + 1))));
    }
    return std::nullopt;
}

}  // namespace zorv
