#pragma once
// Borrowers' e-mail addresses, kept in the settings file (section
// [vypujcitele], one key per borrower), never in the catalogue: the catalogue
// file keeps its one table, and an address is the user's own note.
#include <QString>
#include <string>

// A borrower as one person: the blanks around the name, the letter case and a
// zero byte another tool left in it do not count ("Jan Novák " is "JAN NOVÁK").
QString BorrowerIdentity(const QString& name);

// The borrower's key in [vypujcitele]: the identity in the code page, with
// "%", "=", "[", "]", ";" and control bytes written %XX, so that no name can
// end a line, start a section or a comment, or split the key from its value.
std::string BorrowerAddressKey(const QString& name);

// Something an e-mail program takes as one address: a name, "@", a domain with
// a dot; no blanks, quotes, commas or angle brackets.
bool IsEmailAddress(const QString& text);

// The address kept for the borrower; empty when none.
QString ReadBorrowerAddress(const QString& settingsPath, const QString& name);
// Keeps the address (without the blanks around it); an empty one forgets it.
// Throws std::invalid_argument (Czech) for a text that is no address, and
// SettingsWriteError when the file cannot be written.
void WriteBorrowerAddress(const QString& settingsPath, const QString& name, const QString& address);
