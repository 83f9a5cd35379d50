#pragma once
// Which catalogue the window opens: the one remembered in the settings file at
// start (else the default "svazkovna.db" beside where the program was
// started, written from the template when missing), one chosen by the user,
// or the same file again after it was replaced. Every opened file gets the
// session's health check and the probe that tells a catalogue from any other file.
#include <QString>
#include <exception>
#include <optional>
#include <string>

#include "app/platform/settings_location.h"

class CatalogueSession;
class ProfileFile;
class TASQLite3DB;
class TASQLite3Query;

// The settings file's section of the window's own keys.
inline constexpr char kSettingsSection[] = "nastaveni";

class CatalogueOpening {
public:
    // `probe` runs the probe on the session's connection; `executableDir` and
    // `startDir` as the window's constructor takes them.
    CatalogueOpening(CatalogueSession& session, TASQLite3Query& probe, QString executableDir, QString startDir);

    // Finds where the settings are read and written, once at start.
    void FindSettings();
    QString SettingsPath() const;
    QString SettingsReadPath() const { return settings_.ReadPath(); }
    // Before the settings file is written: the user's own copy is made where needed.
    void PrepareSettingsForWriting() { settings_.PrepareForWriting(); }

    // At start: the catalogue the settings remember, else the default. A
    // failure that opened nothing is shown here; it never throws.
    void OpenAtStart(const ProfileFile& settings);
    // The user's choice; when it fails, the default is opened instead (which may throw).
    void OpenChosen(const QString& chosen);
    // The file under the connection was replaced (a restore): opened again as any catalogue.
    void Reopen();
    // Writes the catalogue to open at the next start.
    void Remember(ProfileFile& settings) const;

private:
    QString DefaultCatalogue() const;
    // The name to connect to for a remembered catalogue that exists (relative
    // names against the start directory), or none.
    std::optional<std::string> RememberedCatalogue(const std::string& name) const;
    void ProbeCatalogue();
    // "pripojeni k db selhalo", then the cause of `failure` in Czech when it is known.
    void TellConnectFailed(const std::exception_ptr& failure) const;
    // The health check of the catalogue just connected, and the probe.
    void CheckAndProbe(bool lastResort);
    // Connects to the default catalogue, writing the template when it is
    // missing, checks it and, when asked, probes it.
    void ConnectDefaultCatalogue(bool probe);

    CatalogueSession& session_;
    TASQLite3DB& con_;
    TASQLite3Query& probe_;
    QString executable_dir_;
    QString start_dir_;
    SettingsLocation settings_;
    // The remembered catalogue, found damaged at start and not restored: it
    // stays remembered until another catalogue is opened on purpose.
    std::string damaged_remembered_;
};
