#pragma once
// A settings file in the INI profile format: sections in brackets, lines
// key=value with no quoting, bytes in the catalogue's code page. Sections and
// keys are found without regard to letter case; a value reads back with at
// most 2047 bytes. Writing keeps every other section, key and comment as it
// was and replaces the file atomically, so a crash never leaves half a file.
#include <QString>
#include <string>

class ProfileFile {
public:
    explicit ProfileFile(QString path);

    const QString& Path() const { return path_; }

    // The value, or `fallback` when the file, the section or the key is missing.
    std::string ReadString(const std::string& section, const std::string& key,
                           const std::string& fallback) const;

    // Creates the file, the section or the key as needed. Throws
    // std::runtime_error "Unable to write to <full path>" when it cannot.
    void WriteString(const std::string& section, const std::string& key, const std::string& value);

private:
    QString path_;
};

// The byte-level parts, kept apart so they can be tested and fuzzed without files.
namespace profile {
std::string Lookup(const std::string& content, const std::string& section, const std::string& key,
                   const std::string& fallback);
std::string Update(const std::string& content, const std::string& section, const std::string& key,
                   const std::string& value);
}  // namespace profile
