#include "app/loans/borrower_address.h"

#include <QRegularExpression>
#include <stdexcept>

#include "app/core/codepage.h"
#include "app/core/profile_file.h"

namespace {

const char* const kSection = "vypujcitele";

}  // namespace

QString BorrowerIdentity(const QString& name) {
    QString identity;
    identity.reserve(name.size());
    for (const QChar c : QString(name).remove(QChar(u'\0')).trimmed()) {
        // A letter whose small form the code page lacks stays as it is, so
        // that the key can always be written.
        const QChar lower = c.toLower();
        identity += FitsCodePage(QString(lower)) ? lower : c;
    }
    return identity;
}

std::string BorrowerAddressKey(const QString& name) {
    static const char* const kHex = "0123456789ABCDEF";
    std::string key;
    for (const char ch : ToCodePage(BorrowerIdentity(name))) {
        const auto byte = static_cast<unsigned char>(ch);
        if (byte < 0x20 || byte == 0x7F || byte == '%' || byte == '=' || byte == '[' || byte == ']' || byte == ';') {
            key += '%';
            key += kHex[byte >> 4];
            key += kHex[byte & 0x0F];
        } else {
            key += ch;
        }
    }
    return key;
}

bool IsEmailAddress(const QString& text) {
    static const QRegularExpression address(
        QStringLiteral(R"(^[^\s@",;<>()\[\]\\]+@[^\s@",;<>()\[\]\\]+\.[^\s@",;<>()\[\]\\.]+$)"));
    return address.match(text).hasMatch();
}

QString ReadBorrowerAddress(const QString& settingsPath, const QString& name) {
    if (BorrowerIdentity(name).isEmpty()) return {};
    const QString kept = FromCodePage(ProfileFile(settingsPath).ReadString(kSection, BorrowerAddressKey(name), ""));
    // A hand-edited line that holds no address is not offered to the e-mail program.
    return IsEmailAddress(kept) ? kept : QString();
}

void WriteBorrowerAddress(const QString& settingsPath, const QString& name, const QString& address) {
    if (BorrowerIdentity(name).isEmpty()) throw std::invalid_argument("Výpůjčky bez jména nemají kartu vypůjčitele.");
    const QString trimmed = address.trimmed();
    if (!trimmed.isEmpty() && !IsEmailAddress(trimmed))
        throw std::invalid_argument(QStringLiteral("„%1“ není e-mailová adresa.").arg(trimmed).toStdString());
    ProfileFile(settingsPath).WriteString(kSection, BorrowerAddressKey(name), ToCodePage(trimmed));
}
