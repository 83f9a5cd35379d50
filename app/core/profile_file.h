#pragma once
// A settings file in the INI profile format: sections in brackets, lines
// key=value, bytes in the catalogue's code page. Sections and keys are found
// without regard to letter case; a value is read with the blanks around it
// dropped and one pair of double quotes around the whole of it removed, and
// with at most 2047 bytes. A value that would not read back so is written in
// quotes; any other is written plain. Writing keeps every other section, key
// and comment as it was and replaces the file atomically, so a crash never
// leaves half a file; where the folder takes no new file but the file itself
// is writable, the file is written in place.
#include <QString>
#include <stdexcept>
#include <string>

// The settings file could not be written; what() is "Unable to write to <full
// path>", Path() the full path for a Czech sentence.
class SettingsWriteError : public std::runtime_error {
public:
    explicit SettingsWriteError(const QString& path)
        : std::runtime_error("Unable to write to " + path.toStdString()), path_(path) {}
    const QString& Path() const { return path_; }

private:
    QString path_;
};

class ProfileFile {
public:
    explicit ProfileFile(QString path);

    const QString& Path() const { return path_; }

    // The value, or `fallback` when the file, the section or the key is missing.
    std::string ReadString(const std::string& section, const std::string& key, const std::string& fallback) const;

    // Creates the file, the section or the key as needed. Throws
    // SettingsWriteError when it cannot.
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
