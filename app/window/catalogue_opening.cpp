#include "app/window/catalogue_opening.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <exception>
#include <stdexcept>

#include "app/platform/catalogue_session.h"
#include "app/core/codepage.h"
#include "app/platform/error_box.h"
#include "app/platform/system_message.h"
#include "storage/errors.h"
#include "app/core/profile_file.h"
#include "app/platform/ui_services.h"
#include "catalogue/template_db.h"
#include "storage/connection.h"
#include "storage/query.h"

namespace {

const char* const kCatalogueKey = "databaze";
const char* const kDefaultName = "svazkovna.db";
const char* const kProbeSql = "SELECT * FROM svazkovna order by autor";
const char* const kConnectFailed = "pripojeni k db selhalo";

// The name as the connection will see it: blanks and control bytes around it
// are dropped when it is stored in Database, so the existence test must drop them too.
std::string Trimmed(const std::string& name) {
    size_t begin = 0;
    size_t end = name.size();
    while (begin < end && static_cast<unsigned char>(name[begin]) <= 32) ++begin;
    while (end > begin && static_cast<unsigned char>(name[end - 1]) <= 32) --end;
    return name.substr(begin, end - begin);
}

}  // namespace

void CatalogueOpening::TellConnectFailed(const std::exception_ptr& failure) const {
    UiServices& ui = session_.Ui();
    ui.PlainBox(ProgramTitle(), kConnectFailed);
    // Then why, in Czech: the engine's failure from its result code, or what the check found.
    try {
        if (failure) std::rethrow_exception(failure);
    } catch (const DetailedFailure& e) {
        ui.DetailedErrorBox(ProgramTitle(), e.Text(), e.Details());
    } catch (const EDatabaseError& e) {
        if (e.EngineCode() != 0)
            ui.DetailedErrorBox(ProgramTitle(), EngineFailureSentence(e.EngineCode(), e.SystemError()),
                                FromCodePage(e.what()));
    } catch (...) {}
}

CatalogueOpening::CatalogueOpening(CatalogueSession& session, TASQLite3Query& probe, QString executableDir,
                                   QString startDir)
    : session_(session), con_(session.Connection()), probe_(probe), executable_dir_(std::move(executableDir)),
      start_dir_(std::move(startDir)) {}

void CatalogueOpening::FindSettings() { settings_ = LocateSettings(executable_dir_); }

QString CatalogueOpening::SettingsPath() const {
    return settings_.path.isEmpty() ? LocateSettings(executable_dir_).path : settings_.path;
}

QString CatalogueOpening::DefaultCatalogue() const { return QDir(start_dir_).filePath(kDefaultName); }

std::optional<std::string> CatalogueOpening::RememberedCatalogue(const std::string& name) const {
    // Paths are kept in the file system's encoding, so that a folder with
    // Czech letters is opened and not created anew under garbled bytes; a
    // value written in the code page by an older settings file is still found.
    for (const QString& candidate : {QFile::decodeName(QByteArray::fromStdString(name)), FromCodePage(name)}) {
        if (QFileInfo(QDir(start_dir_).absoluteFilePath(candidate)).isFile())
            return QFile::encodeName(candidate).toStdString();
    }
    return std::nullopt;
}

void CatalogueOpening::ProbeCatalogue() {
    probe_.SQL().Clear();
    probe_.SQL().Add(kProbeSql);
    probe_.Open();
}

// The health check reads the whole file on a connection of its own while the
// probe reads it here, so that a large catalogue is not read twice in turn.
// The probe counts only for a catalogue the check found sound; one found
// damaged (and now restored, or kept for reading) is probed as it is now.
void CatalogueOpening::CheckAndProbe(bool lastResort) {
    session_.CheckAside();
    std::exception_ptr failed;
    try {
        ProbeCatalogue();
    } catch (...) {
        failed = std::current_exception();
    }
    bool sound = false;
    try {
        sound = session_.CheckOpened(lastResort);
    } catch (...) {
        probe_.Close();  // a probe of a file refused says nothing
        throw;
    }
    if (!sound) {
        ProbeCatalogue();
        return;
    }
    if (failed) std::rethrow_exception(failed);
}

void CatalogueOpening::ConnectDefaultCatalogue(bool probe) {
    // Written only where no file exists: an existing one may be the user's only
    // copy of the catalogue. A failure to write is left to the connect and the
    // probe to report.
    WriteTemplateCatalogue(QFile::encodeName(DefaultCatalogue()).toStdString());
    // Database keeps the relative name, so the settings file remembers the
    // default as such; the connection resolves it against the current directory,
    // which must be the one the program was started in, not wherever a file
    // dialog may have left it.
    QDir::setCurrent(start_dir_);
    con_.SetDatabase(kDefaultName);
    con_.SetConnected(true);
    // Nothing else is left to open: a damaged default stays open for reading only.
    if (probe)
        CheckAndProbe(true);
    else
        session_.CheckOpened(true);
}

void CatalogueOpening::Reopen() {
    con_.SetConnected(true);
    CheckAndProbe(true);
}

void CatalogueOpening::OpenAtStart(const ProfileFile& settings) {
    const std::string remembered = Trimmed(settings.ReadString(kSettingsSection, kCatalogueKey, kDefaultName));
    bool open = false;
    bool reported = false;
    // Reopen the catalogue used last, when it is still there and not the default.
    const std::optional<std::string> file =
        remembered.empty() || remembered == kDefaultName ? std::nullopt : RememberedCatalogue(remembered);
    if (file) {
        try {
            // A relative name means the folder the program was started in.
            QDir::setCurrent(start_dir_);
            con_.SetDatabase(*file);
            con_.SetConnected(true);
            CheckAndProbe(false);
            open = true;
        } catch (const CatalogueDamaged&) {
            reported = true;  // the damage has been shown; the default is opened instead
            damaged_remembered_ = remembered;
        } catch (...) {
            TellConnectFailed(std::current_exception());
            reported = true;
        }
    }
    if (!open) {
        try {
            ConnectDefaultCatalogue(true);
        } catch (...) {
            // One message for a start that could open nothing; a damaged
            // catalogue kept for reading has had its own.
            if (!reported && !session_.ReadingOnly()) TellConnectFailed(std::current_exception());
        }
    }
}

void CatalogueOpening::OpenChosen(const QString& chosen) {
    const QString path = QFileInfo(chosen).absoluteFilePath();
    const bool existed = QFileInfo::exists(path);
    damaged_remembered_.clear();
    bool failed = false;
    bool told = false;
    std::exception_ptr failure;
    try {
        // A name that names nothing holds no catalogue; the engine would make
        // an empty file of it, which the health check would take for a damaged one.
        if (!existed) throw std::runtime_error("no such file");
        con_.SetDatabase(QFile::encodeName(path).toStdString());
        con_.SetConnected(true);
        CheckAndProbe(false);
    } catch (const CatalogueDamaged&) {
        failed = told = true;  // the damage has been shown
    } catch (...) {
        failed = true;
        failure = std::current_exception();
    }
    if (failed) {
        if (!told) TellConnectFailed(failure);
        // Not protected: when even the default fails, the error box shows why
        // and the panel and the tree are left as they are.
        ConnectDefaultCatalogue(false);
    }
}

void CatalogueOpening::Remember(ProfileFile& settings) const {
    settings.WriteString(kSettingsSection, kCatalogueKey,
                         damaged_remembered_.empty() ? con_.Database() : damaged_remembered_);
}
