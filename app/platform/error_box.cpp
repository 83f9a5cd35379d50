#include "app/platform/error_box.h"

#include <QCoreApplication>
#include <QFileInfo>

#include <exception>

#include "app/core/codepage.h"
#include "app/platform/system_message.h"
#include "app/platform/ui_services.h"
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

bool RunGuarded(UiServices& ui, const std::function<void()>& handler) {
    QString message;
    try {
        handler();
        return true;
    } catch (const DetailedFailure& e) {
        ui.DetailedErrorBox(ProgramTitle(), ErrorBoxText(e.Text()), e.Details());
        return false;
    } catch (const EDatabaseError& e) {
        // The engine's own failure: its cause in Czech, its words behind "Podrobnosti".
        if (e.EngineCode() != 0) {
            ui.DetailedErrorBox(ProgramTitle(), EngineFailureSentence(e.EngineCode(), e.SystemError()),
                                FromCodePage(e.what()));
            return false;
        }
        message = FromCodePage(e.what());
    } catch (const CodePageError& e) {
        message = QString::fromUtf8(e.what());
    } catch (const Exception& e) {
        // The storage layer speaks in the catalogue's code page.
        message = FromCodePage(e.what());
    } catch (const std::exception& e) {
        message = QString::fromUtf8(e.what());
    } catch (...) {
        message = QStringLiteral("Neznámá chyba");
    }
    ui.ErrorBox(ProgramTitle(), ErrorBoxText(message));
    return false;
}
