// Start-up, the settings file, and switching catalogues.
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <exception>
#include <optional>
#include <stdexcept>

#include "app/platform/catalogue_session.h"
#include "app/core/codepage.h"
#include "app/platform/error_box.h"
#include "app/window/main_window.h"
#include "app/core/profile_file.h"
#include "app/platform/settings_location.h"
#include "app/platform/ui_services.h"
#include "catalogue/template_db.h"
#include "ui_main_window.h"

namespace {

const char* const kSettingsSection = "nastaveni";
const char* const kPrefixKey = "webbrowserskript";
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

QString TForm1::SettingsPath() const {
    return settings_.path.isEmpty() ? LocateSettings(executable_dir_).path : settings_.path;
}

QString TForm1::DefaultCatalogue() const { return QDir(start_dir_).filePath(kDefaultName); }

std::optional<std::string> TForm1::RememberedCatalogue(const std::string& name) const {
    // Paths are kept in the file system's encoding, so that a folder with
    // Czech letters is opened and not created anew under garbled bytes; a
    // value written in the code page by an older settings file is still found.
    for (const QString& candidate : {QFile::decodeName(QByteArray::fromStdString(name)),
                                     FromCodePage(name)}) {
        if (QFileInfo(QDir(start_dir_).absoluteFilePath(candidate)).isFile())
            return QFile::encodeName(candidate).toStdString();
    }
    return std::nullopt;
}

void TForm1::ProbeCatalogue() {
    query1.SQL().Clear();
    query1.SQL().Add(kProbeSql);
    query1.Open();
}

// The health check reads the whole file on a connection of its own while the
// probe reads it here, so that a large catalogue is not read twice in turn.
// The probe counts only for a catalogue the check found sound; one found
// damaged (and now restored, or kept for reading) is probed as it is now.
void TForm1::CheckAndProbe(bool lastResort) {
    session_->CheckAside();
    std::exception_ptr failed;
    try {
        ProbeCatalogue();
    } catch (...) {
        failed = std::current_exception();
    }
    bool sound = false;
    try {
        sound = session_->CheckOpened(lastResort);
    } catch (...) {
        query1.Close();  // a probe of a file refused says nothing
        throw;
    }
    if (!sound) {
        ProbeCatalogue();
        return;
    }
    if (failed) std::rethrow_exception(failed);
}

void TForm1::ConnectDefaultCatalogue(bool probe) {
    // Written only where no file exists: an existing one may be the user's only
    // copy of the catalogue. A failure to write is left to the connect and the
    // probe to report.
    WriteTemplateCatalogue(QFile::encodeName(DefaultCatalogue()).toStdString());
    // Database keeps the relative name, so the settings file remembers the
    // default as such; the connection resolves it against the current directory,
    // which must be the one the program was started in, not wherever a file
    // dialog may have left it.
    QDir::setCurrent(start_dir_);
    con1.SetDatabase(kDefaultName);
    con1.SetConnected(true);
    // Nothing else is left to open: a damaged default stays open for reading only.
    if (probe)
        CheckAndProbe(true);
    else
        session_->CheckOpened(true);
}

void TForm1::ReopenCatalogue() {
    con1.SetConnected(true);
    CheckAndProbe(true);
    vymazokna();
    tv1update();
}

void TForm1::FormCreate() {
    // The browser, the splitter and the tabs are docked by the constructor.
    settings_ = LocateSettings(executable_dir_);
    const ProfileFile settings(settings_.ReadPath());
    form()->wb1skriptle->setText(
        FromCodePage(settings.ReadString(kSettingsSection, kPrefixKey, "")));
    const std::string remembered =
        Trimmed(settings.ReadString(kSettingsSection, kCatalogueKey, kDefaultName));

    bool open = false;
    bool reported = false;
    // Reopen the catalogue used last, when it is still there and not the default.
    const std::optional<std::string> file =
        remembered.empty() || remembered == kDefaultName ? std::nullopt
                                                         : RememberedCatalogue(remembered);
    if (file) {
        try {
            // A relative name means the folder the program was started in.
            QDir::setCurrent(start_dir_);
            con1.SetDatabase(*file);
            con1.SetConnected(true);
            CheckAndProbe(false);
            open = true;
        } catch (const CatalogueDamaged&) {
            reported = true;  // the damage has been shown; the default is opened instead
            damaged_remembered_ = remembered;
        } catch (...) {
            uiServices().PlainBox(ProgramTitle(), kConnectFailed);
            reported = true;
        }
    }
    if (!open) {
        try {
            ConnectDefaultCatalogue(true);
        } catch (...) {
            // One message for a start that could open nothing; a damaged
            // catalogue kept for reading has had its own.
            if (!reported && !session_->ReadingOnly()) uiServices().PlainBox(ProgramTitle(), kConnectFailed);
        }
    }
    // The tree is rebuilt from whatever is open; its failure must not keep the window from showing.
    RunGuarded(uiServices(), [this] { tv1update(); });
}

bool TForm1::FormClose() {
    std::string prefix;
    bool prefixFits = RunGuarded(uiServices(), [&] {
        try {
            prefix = ToCodePage(form()->wb1skriptle->text());
        } catch (const CodePageError& e) {
            throw CodePageError(std::string(e.what()) +
                                    " Skript pro webbrowser proto nebyl uložen.",
                                e.Character());
        }
        // A line break has no place in the file either; refused alone, so that
        // the catalogue is still remembered.
        if (prefix.find_first_of("\r\n") != std::string::npos)
            throw std::runtime_error(
                "Skript pro webbrowser obsahuje konec řádku, proto nebyl uložen.");
    });
    // The first failed write stops the rest, so the box is shown once; the
    // window closes all the same, or it could never be closed while the file
    // stays unwritable.
    RunGuarded(uiServices(), [&] {
        settings_.PrepareForWriting();
        ProfileFile settings(SettingsPath());
        if (prefixFits) settings.WriteString(kSettingsSection, kPrefixKey, prefix);
        settings.WriteString(kSettingsSection, kCatalogueKey,
                             damaged_remembered_.empty() ? con1.Database() : damaged_remembered_);
    });
    return true;
}

void TForm1::otevritExecute() {
    const std::optional<QString> chosen = uiServices().OpenFileName(".");
    if (!chosen) return;
    const QString path = QFileInfo(*chosen).absoluteFilePath();
    const bool existed = QFileInfo::exists(path);
    damaged_remembered_.clear();
    bool failed = false;
    bool told = false;
    try {
        // A name that names nothing holds no catalogue; the engine would make
        // an empty file of it, which the health check would take for a damaged one.
        if (!existed) throw std::runtime_error("no such file");
        con1.SetDatabase(QFile::encodeName(path).toStdString());
        con1.SetConnected(true);
        CheckAndProbe(false);
    } catch (const CatalogueDamaged&) {
        failed = told = true;  // the damage has been shown
    } catch (...) {
        failed = true;
    }
    if (failed) {
        if (!told) uiServices().PlainBox(ProgramTitle(), kConnectFailed);
        // Not protected: when even the default fails, the error box shows why
        // and the panel and the tree are left as they are.
        ConnectDefaultCatalogue(false);
    }
    vymazokna();
    tv1update();
}
