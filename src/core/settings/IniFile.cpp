#include "IniFile.h"

#include <filesystem>
#include <map>
#include <memory>
#include <mutex>

#include "platform/Files.h"
#include "platform/Utf8Path.h"

namespace khub::ini {

namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

std::string_view Trim(std::string_view s) {
    while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
    while (!s.empty() && (IsBlank(s.back()) || s.back() == '\r')) s.remove_suffix(1);
    return s;
}

bool EqualNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        unsigned char x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z') x += 'a' - 'A';
        if (y >= 'A' && y <= 'Z') y += 'a' - 'A';
        if (x != y) return false;
    }
    return true;
}

// One line of the file: where it starts, its text without the line end, and where the
// next line starts.
struct Line {
    std::size_t begin = 0;
    std::string_view text;
    std::size_t next = 0;
};

// Editors on some systems start the file with a UTF-8 byte order mark; it belongs to no
// line, or the first section header would go unseen.
constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

Line LineAt(std::string_view content, std::size_t pos) {
    if (pos == 0 && content.starts_with(kByteOrderMark)) pos = kByteOrderMark.size();
    std::size_t end = content.find('\n', pos);
    Line line;
    line.begin = pos;
    if (end == std::string_view::npos) {
        line.text = content.substr(pos);
        line.next = content.size();
    } else {
        line.text = content.substr(pos, end - pos);
        line.next = end + 1;
    }
    if (!line.text.empty() && line.text.back() == '\r') line.text.remove_suffix(1);
    return line;
}

// The section a line opens, if it is a section header.
std::optional<std::string_view> SectionName(std::string_view text) {
    std::string_view t = Trim(text);
    if (t.empty() || t.front() != '[') return std::nullopt;
    std::size_t close = t.find(']');
    if (close == std::string_view::npos) return std::nullopt;
    return Trim(t.substr(1, close - 1));
}

// The key a line holds, and the offset of its '=' within the line.
std::optional<std::pair<std::string_view, std::size_t>> KeyOf(std::string_view text) {
    std::string_view t = Trim(text);
    if (t.empty() || t.front() == ';') return std::nullopt;
    std::size_t eq = text.find('=');
    if (eq == std::string_view::npos) return std::nullopt;
    return std::make_pair(Trim(text.substr(0, eq)), eq);
}

// One lock per file, whichever spelling of its path the caller used ("a.ini", "./a.ini").
std::mutex& LockFor(const std::string& path) {
    static std::mutex registryMutex;
    static std::map<std::string, std::unique_ptr<std::mutex>> locks;
    std::error_code ec;
    std::filesystem::path normal = std::filesystem::weakly_canonical(PathFromUtf8(path), ec);
    std::string name = ec ? path : Utf8FromPath(normal);
    std::lock_guard guard(registryMutex);
    auto& slot = locks[name];
    if (!slot) slot = std::make_unique<std::mutex>();
    return *slot;
}

bool Storable(std::string_view s) {
    return s.find_first_of(std::string_view("\r\n\0", 3)) == std::string_view::npos;
}

}  // namespace

std::optional<std::string> Lookup(std::string_view content, std::string_view section,
                                  std::string_view key) {
    bool inSection = false;
    for (std::size_t pos = 0; pos < content.size();) {
        Line line = LineAt(content, pos);
        pos = line.next;
        if (auto name = SectionName(line.text)) {
            inSection = EqualNoCase(*name, section);
            continue;
        }
        if (!inSection) continue;
        auto k = KeyOf(line.text);
        if (k && EqualNoCase(k->first, key)) {
            return std::string(Trim(line.text.substr(k->second + 1)));
        }
    }
    return std::nullopt;
}

std::optional<std::string> WithValue(std::string_view content, std::string_view section,
                                     std::string_view key, std::string_view value) {
    std::string_view trimmedSection = Trim(section), trimmedKey = Trim(key);
    if (trimmedSection.empty() || trimmedKey.empty() || !Storable(section) || !Storable(key) ||
        !Storable(value) || section.find(']') != std::string_view::npos ||
        key.find('=') != std::string_view::npos || trimmedKey.front() == '[' ||
        trimmedKey.front() == ';') {
        return std::nullopt;
    }
    const std::string_view eol = content.find("\r\n") != std::string_view::npos ? "\r\n" : "\n";

    bool inSection = false, sectionSeen = false;
    std::size_t insertAt = std::string_view::npos;  // after the last non-blank line of the section
    for (std::size_t pos = 0; pos < content.size();) {
        Line line = LineAt(content, pos);
        pos = line.next;
        if (auto name = SectionName(line.text)) {
            if (inSection) break;  // only the first section of that name is written to
            inSection = EqualNoCase(*name, section);
            if (inSection) {
                sectionSeen = true;
                insertAt = line.next;
            }
            continue;
        }
        if (!inSection) continue;
        if (!Trim(line.text).empty()) insertAt = line.next;
        auto k = KeyOf(line.text);
        if (k && EqualNoCase(k->first, key)) {
            // Keep the key as spelled and any blank before the value; replace the rest.
            std::size_t valueStart = line.begin + k->second + 1;
            std::string_view after = line.text.substr(k->second + 1);
            std::size_t lead = 0;
            while (lead < after.size() && IsBlank(after[lead])) ++lead;
            valueStart += lead;
            std::size_t valueEnd = line.begin + line.text.size();
            std::string out(content.substr(0, valueStart));
            out.append(value);
            out.append(content.substr(valueEnd));
            return out;
        }
    }

    std::string out(content);
    std::string entry = std::string(trimmedKey) + "=" + std::string(value) + std::string(eol);
    if (sectionSeen) {
        if (insertAt > 0 && out[insertAt - 1] != '\n') {
            out.insert(insertAt, eol);
            insertAt += eol.size();
        }
        out.insert(insertAt, entry);
        return out;
    }
    if (!out.empty() && out.back() != '\n') out.append(eol);
    out.append("[").append(trimmedSection).append("]").append(eol).append(entry);
    return out;
}

std::optional<std::string> Read(const std::string& path, std::string_view section,
                                std::string_view key) {
    std::lock_guard guard(LockFor(path));
    auto content = platform::ReadWholeFile(path);
    if (!content) return std::nullopt;
    return Lookup(*content, section, key);
}

bool Write(const std::string& path, std::string_view section, std::string_view key,
           std::string_view value) {
    std::lock_guard guard(LockFor(path));
    std::string content;
    bool missing = false;
    if (auto existing = platform::ReadWholeFile(path, &missing)) {
        content = std::move(*existing);
    } else if (!missing) {
        return false;  // there is a file we cannot read: never replace it blindly
    }
    auto updated = WithValue(content, section, key, value);
    if (!updated) return false;
    if (*updated == content) return true;
    return platform::ReplaceFileContent(path, *updated);
}

}  // namespace khub::ini
