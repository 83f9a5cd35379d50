#include "app/platform/error_box.h"

#include <QCoreApplication>
#include <QFileInfo>

#include <exception>
#include <new>

#include "app/core/codepage.h"
#include "app/core/profile_file.h"
#include "app/platform/system_message.h"
#include "app/platform/ui_services.h"
#include "catalogue/backup_store.h"
#include "storage/errors.h"

QString ProgramTitleFor(const QString& executablePath) {
    QString name = QFileInfo(executablePath).fileName();
    name = name.left(name.indexOf(u'.') < 0 ? name.size() : name.indexOf(u'.'));
    if (name.isEmpty()) return name;
    return name.left(1) + name.mid(1).toLower();
}

QString ProgramTitle() { return ProgramTitleFor(QCoreApplication::applicationFilePath()); }

QString ErrorBoxText(const QString& message) {
    if (!message.isEmpty() && message.back() > QChar(u'.')) return message + u'.';
    return message;
}

namespace {

const char* const kGeneralFailure = "Operaci se nepodařilo dokončit.";

// The program's own messages are Czech, and nearly every Czech sentence has
// a letter with a diacritic; one in a path or in quotes says nothing of the
// sentence's language ("cannot read /home/jiří/…").
bool LooksCzech(const QString& text) {
    static const QString letters = QStringLiteral("áčďéěíňóřšťúůýžÁČĎÉĚÍŇÓŘŠŤÚŮÝŽ");
    for (const QString& word : text.split(u' ', Qt::SkipEmptyParts)) {
        if (word.contains(u'/') || word.contains(u'\\') || word.contains(u'"') || word.contains(u'\'') ||
            word.contains(u'„') || word.contains(u'“'))
            continue;
        for (const QChar ch : word)
            if (letters.contains(ch)) return true;
    }
    return false;
}

// A failure as the box shows it: a Czech sentence, and the original words
// behind "Podrobnosti" where the sentence replaced them.
struct Shown {
    QString text;
    QString details;
};

// Failures of the storage layer, whose texts are English: a sentence by kind.
Shown StorageFailure(const Exception& e) {
    const QString original = FromCodePage(e.what());
    if (const auto* engine = dynamic_cast<const EDatabaseError*>(&e); engine && engine->EngineCode() != 0)
        return {EngineFailureSentence(engine->EngineCode(), engine->SystemError()), original};
    if (dynamic_cast<const EConvertError*>(&e))
        return {QStringLiteral("Hodnota v katalogu nemá tvar, který program očekává (číslo nebo datum)."), original};
    if (dynamic_cast<const EListError*>(&e))
        return {QStringLiteral("Katalog nemá sloupec, který program očekává."), original};
    return {QStringLiteral("Práci s katalogem se nepodařilo dokončit."), original};
}

// Any other failure: the program's own Czech words as they are, a system
// error said in Czech, anything else as the general sentence.
Shown OtherFailure(const QString& original) {
    if (LooksCzech(original)) return {original, QString()};
    const QString cause = CzechSystemMessage(original);
    if (cause != original) return {QStringLiteral("Operaci se nepodařilo dokončit: %1.").arg(cause), original};
    return {QString::fromUtf8(kGeneralFailure), original};
}

}  // namespace

bool RunGuarded(UiServices& ui, const std::function<void()>& handler) {
    Shown shown;
    try {
        handler();
        return true;
    } catch (const DetailedFailure& e) {
        shown = {e.Text(), e.Details()};
    } catch (const Exception& e) {
        shown = StorageFailure(e);
    } catch (const CodePageError& e) {
        shown = {QString::fromUtf8(e.what()), QString()};  // Czech, naming the character
    } catch (const SettingsWriteError& e) {
        shown = {QStringLiteral("Nastavení se nepodařilo uložit do souboru „%1“.").arg(e.Path()),
                 QString::fromUtf8(e.what())};
    } catch (const CatalogueBusy& e) {
        shown = {QStringLiteral("Katalog právě používá jiný program. Zkuste to znovu za chvíli."),
                 QString::fromUtf8(e.what())};
    } catch (const CopyCancelled&) {
        shown = {QStringLiteral("Operace byla přerušena."), QString()};
    } catch (const std::bad_alloc& e) {
        shown = {QStringLiteral("Programu došla paměť; operaci se nepodařilo dokončit."), QString::fromUtf8(e.what())};
    } catch (const std::exception& e) {
        shown = OtherFailure(QString::fromUtf8(e.what()));
    } catch (...) {
        shown = {QString::fromUtf8(kGeneralFailure), QStringLiteral("Neznámá chyba")};
    }
    if (shown.details.isEmpty())
        ui.ErrorBox(ProgramTitle(), ErrorBoxText(shown.text));
    else
        ui.DetailedErrorBox(ProgramTitle(), ErrorBoxText(shown.text), shown.details);
    return false;
}
