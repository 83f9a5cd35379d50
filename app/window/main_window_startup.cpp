// Start-up, the settings file, and switching catalogues.
#include <optional>
#include <stdexcept>

#include "app/core/codepage.h"
#include "app/platform/error_box.h"
#include "app/core/profile_file.h"
#include "app/platform/ui_services.h"
#include "app/window/catalogue_opening.h"
#include "app/window/main_window.h"
#include "ui_main_window.h"

namespace {

const char* const kPrefixKey = "webbrowserskript";

}  // namespace

QString TForm1::SettingsPath() const { return opening_->SettingsPath(); }

void TForm1::ReopenCatalogue() {
    opening_->Reopen();
    vymazokna();
    tv1update();
}

void TForm1::FormCreate() {
    // The browser, the splitter and the tabs are docked by the constructor.
    opening_->FindSettings();
    const ProfileFile settings(opening_->SettingsReadPath());
    form()->wb1skriptle->setText(FromCodePage(settings.ReadString(kSettingsSection, kPrefixKey, "")));
    opening_->OpenAtStart(settings);
    // The tree is rebuilt from whatever is open; its failure must not keep the window from showing.
    RunGuarded(uiServices(), [this] { tv1update(); });
}

bool TForm1::FormClose() {
    std::string prefix;
    bool prefixFits = RunGuarded(uiServices(), [&] {
        try {
            prefix = ToCodePage(form()->wb1skriptle->text());
        } catch (const CodePageError& e) {
            throw CodePageError(std::string(e.what()) + " Skript pro webbrowser proto nebyl uložen.", e.Character());
        }
        // A line break has no place in the file either; refused alone, so that
        // the catalogue is still remembered.
        if (prefix.find_first_of("\r\n") != std::string::npos)
            throw std::runtime_error("Skript pro webbrowser obsahuje konec řádku, proto nebyl uložen.");
    });
    // The first failed write stops the rest, so the box is shown once; the
    // window closes all the same, or it could never be closed while the file
    // stays unwritable.
    RunGuarded(uiServices(), [&] {
        opening_->PrepareSettingsForWriting();
        ProfileFile settings(SettingsPath());
        if (prefixFits) settings.WriteString(kSettingsSection, kPrefixKey, prefix);
        opening_->Remember(settings);
    });
    return true;
}

void TForm1::otevritExecute() {
    const std::optional<QString> chosen = uiServices().OpenFileName(".");
    if (!chosen) return;
    opening_->OpenChosen(*chosen);
    vymazokna();
    tv1update();
}
