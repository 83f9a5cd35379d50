#pragma once
// Where "nastav.ini" lives. A copy of the program in a folder the user can
// write (a portable copy, a build folder) keeps it beside the executable; an
// installed program, whose folder only the system may change, keeps it in the
// user's configuration folder and starts from the file beside the executable,
// if the installation ships one.
#include <QString>
#include <functional>

struct SettingsLocation {
    QString path;             // read at start and written at close
    QString seed;             // read instead while `path` does not exist yet; empty: none
    bool userFolder = false;  // `path` is in the user's configuration folder

    // The file the settings are read from now.
    QString ReadPath() const;
    // Makes a `path` in the user's folder ready for writing: creates its folder
    // and, while the file is missing, starts it with the seed's bytes so that the seed's other sections
    // and comments are kept. A failure here is left to the write that follows,
    // which reports it with the file's name. The executable's folder is never
    // made anew: a folder that vanished is a fault to report.
    void PrepareForWriting() const;
};

// What the rule looks at, kept apart so that tests can set every answer.
struct SettingsEnvironment {
    QString configHome;                            // $XDG_CONFIG_HOME; used only when it is an absolute path
    QString home;                                  // the user's home folder
    std::function<bool(const QString&)> writable;  // may this file or folder be written?

    static SettingsEnvironment Current();
};

SettingsLocation LocateSettings(const QString& executableDir,
                                const SettingsEnvironment& env = SettingsEnvironment::Current());
