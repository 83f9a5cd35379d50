#include "app/core/profile_file.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <stdexcept>
#include <vector>

namespace {

constexpr size_t kMaxValueBytes = 2047;

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string Trim(std::string_view s) {
    size_t b = 0, e = s.size();
    while (b < e && IsBlank(s[b])) ++b;
    while (e > b && IsBlank(s[e - 1])) --e;
    return std::string(s.substr(b, e - b));
}

bool Quoted(std::string_view s) { return s.size() >= 2 && s.front() == '"' && s.back() == '"'; }

// A value as read: blanks around it dropped, then one pair of double quotes
// around the whole of it.
std::string ReadValue(std::string_view raw) {
    std::string value = Trim(raw);
    if (Quoted(value)) value = value.substr(1, value.size() - 2);
    return value;
}

// A value as written: plain, unless reading would change it (blanks at an
// end, or quotes around it), when one pair of quotes keeps it whole.
std::string WrittenValue(const std::string& value) {
    if (ReadValue(value) == value) return value;
    return '"' + value + '"';
}

// Names compare like the platform's profile functions: ASCII letters without case,
// every other byte (code page letters included) as it is.
bool SameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        unsigned char x = static_cast<unsigned char>(a[i]), y = static_cast<unsigned char>(b[i]);
        if (x >= 'A' && x <= 'Z') x = static_cast<unsigned char>(x + 32);
        if (y >= 'A' && y <= 'Z') y = static_cast<unsigned char>(y + 32);
        if (x != y) return false;
    }
    return true;
}

// One line of the file; `text` has no line end, `end` is what followed it ("\r\n", "\n" or "").
struct Line {
    std::string text;
    std::string end;
};

std::vector<Line> SplitLines(const std::string& content) {
    std::vector<Line> lines;
    size_t pos = 0;
    while (pos < content.size()) {
        size_t nl = content.find('\n', pos);
        Line line;
        if (nl == std::string::npos) {
            line.text = content.substr(pos);
            pos = content.size();
        } else {
            line.text = content.substr(pos, nl - pos);
            line.end = "\n";
            pos = nl + 1;
        }
        if (!line.text.empty() && line.text.back() == '\r') {
            line.text.pop_back();
            line.end.insert(0, "\r");
        }
        lines.push_back(std::move(line));
    }
    return lines;
}

// The section name of a "[name]" line, if it is one.
bool SectionName(const std::string& text, std::string* name) {
    size_t b = 0;
    while (b < text.size() && IsBlank(text[b])) ++b;
    if (b >= text.size() || text[b] != '[') return false;
    size_t close = text.find(']', b + 1);
    *name = Trim(std::string_view(text).substr(b + 1, close == std::string::npos ? std::string::npos : close - b - 1));
    return true;
}

// The position of "=" when the line is a key=value line of `key`, else npos.
size_t KeyLine(const std::string& text, const std::string& key) {
    std::string_view t(text);
    size_t b = 0;
    while (b < t.size() && IsBlank(t[b])) ++b;
    if (b < t.size() && t[b] == ';') return std::string::npos;
    size_t eq = t.find('=');
    if (eq == std::string::npos) return std::string::npos;
    return SameName(Trim(t.substr(0, eq)), key) ? eq : std::string::npos;
}

struct Found {
    std::ptrdiff_t section = -1;  // index of the section line
    std::ptrdiff_t last = -1;     // last non-blank line of the section
    std::ptrdiff_t key = -1;      // the key's line
    size_t eq = 0;
};

// Only the first section of the name counts, and in it the first line of the key.
Found Find(const std::vector<Line>& lines, const std::string& section, const std::string& key) {
    Found f;
    for (size_t i = 0; i < lines.size(); ++i) {
        std::string name;
        if (SectionName(lines[i].text, &name)) {
            if (f.section >= 0) break;
            if (SameName(name, Trim(section))) f.section = f.last = static_cast<std::ptrdiff_t>(i);
            continue;
        }
        if (f.section < 0) continue;
        if (!Trim(lines[i].text).empty()) f.last = static_cast<std::ptrdiff_t>(i);
        if (f.key < 0) {
            size_t eq = KeyLine(lines[i].text, Trim(key));
            if (eq != std::string::npos) {
                f.key = static_cast<std::ptrdiff_t>(i);
                f.eq = eq;
            }
        }
    }
    return f;
}

std::string FileLineEnd(const std::string& content) {
    size_t nl = content.find('\n');
    // New files get CR LF: the format comes from a platform that writes it so.
    if (nl == std::string::npos) return "\r\n";
    return nl > 0 && content[nl - 1] == '\r' ? "\r\n" : "\n";
}

// Ends a line before another is added behind it. A lone CR can only end the
// last line of the content; left alone, it would join the added line to it,
// so it gets its LF (the line's text stays as every reader sees it).
void EndLine(Line& line, const std::string& eol) {
    if (line.end.empty())
        line.end = eol;
    else if (line.end == "\r")
        line.end = "\r\n";
}

void CheckName(const std::string& what, const std::string& s, const char* forbidden) {
    if (s.find_first_of(forbidden) != std::string::npos || Trim(s).empty())
        throw std::invalid_argument("Invalid settings " + what + " name \"" + s + "\"");
}

}  // namespace

namespace profile {

std::string Lookup(const std::string& content, const std::string& section, const std::string& key,
                   const std::string& fallback) {
    std::vector<Line> lines = SplitLines(content);
    Found f = Find(lines, section, key);
    std::string value = fallback;
    if (f.key >= 0) value = ReadValue(std::string_view(lines[static_cast<size_t>(f.key)].text).substr(f.eq + 1));
    if (value.size() > kMaxValueBytes) value.resize(kMaxValueBytes);
    return value;
}

std::string Update(const std::string& content, const std::string& section, const std::string& key,
                   const std::string& value) {
    // A line break inside a name or value would turn the rest into lines of their own.
    CheckName("section", section, "\r\n]");
    CheckName("key", key, "\r\n=");
    // A key line that starts with ";" reads as a comment and one with "[" as a
    // section: the value would never read back, and a "[" line would cut the
    // section's later keys off from it.
    if (const std::string k = Trim(key); k.front() == ';' || k.front() == '[')
        throw std::invalid_argument("Invalid settings key name \"" + key + "\"");
    if (value.find_first_of("\r\n") != std::string::npos)
        throw std::invalid_argument("Nastavení nelze uložit: hodnota obsahuje konec řádku.");

    std::vector<Line> lines = SplitLines(content);
    const std::string eol = FileLineEnd(content);
    Found f = Find(lines, section, key);
    if (f.key >= 0) {
        Line& line = lines[static_cast<size_t>(f.key)];
        line.text = line.text.substr(0, f.eq + 1) + WrittenValue(value);
    } else {
        Line added{Trim(key) + "=" + WrittenValue(value), eol};
        if (f.section >= 0) {
            EndLine(lines[static_cast<size_t>(f.last)], eol);
            lines.insert(lines.begin() + f.last + 1, added);
        } else {
            if (!lines.empty()) EndLine(lines.back(), eol);
            lines.push_back(Line{"[" + Trim(section) + "]", eol});
            lines.push_back(added);
        }
    }
    std::string out;
    out.reserve(content.size() + key.size() + value.size() + section.size() + 8);
    for (const Line& l : lines) out += l.text + l.end;
    return out;
}

}  // namespace profile

ProfileFile::ProfileFile(QString path) : path_(std::move(path)) {}

namespace {

// Returns false when the file exists but cannot be read.
bool ReadAll(const QString& path, std::string* content) {
    QFile file(path);
    if (!file.exists()) return true;
    if (!file.open(QIODevice::ReadOnly)) return false;
    QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) return false;
    content->assign(bytes.constData(), static_cast<size_t>(bytes.size()));
    return true;
}

}  // namespace

std::string ProfileFile::ReadString(const std::string& section, const std::string& key,
                                    const std::string& fallback) const {
    std::string content;
    if (!ReadAll(path_, &content)) content.clear();
    return profile::Lookup(content, section, key, fallback);
}

void ProfileFile::WriteString(const std::string& section, const std::string& key, const std::string& value) {
    const SettingsWriteError failure(QFileInfo(path_).absoluteFilePath());
    std::string content;
    // Writing over a file that could not be read would lose its other sections.
    if (!ReadAll(path_, &content)) throw failure;
    std::string updated = profile::Update(content, section, key, value);
    QFileInfo info(path_);
    // The save file renames over a read-only file, which the user asked us not to change.
    if (info.exists() && !info.isWritable()) throw failure;
    QSaveFile file(path_);
    // A folder that takes no new file still lets a writable file be written in
    // place, without the atomic replacement.
    file.setDirectWriteFallback(true);
    if (!file.open(QIODevice::WriteOnly)) throw failure;
    if (file.write(updated.data(), static_cast<qint64>(updated.size())) != static_cast<qint64>(updated.size()) ||
        !file.commit())
        throw failure;
}
