#include "app/platform/settings_location.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace {

const char* const kSettingsName = "nastav.ini";

}  // namespace

QString SettingsLocation::ReadPath() const {
    if (!seed.isEmpty() && !QFileInfo::exists(path)) return seed;
    return path;
}

void SettingsLocation::PrepareForWriting() const {
    if (!userFolder) return;
    QDir().mkpath(QFileInfo(path).absolutePath());
    if (seed.isEmpty() || QFileInfo::exists(path)) return;
    QFile from(seed);
    if (!from.open(QIODevice::ReadOnly)) return;
    const QByteArray bytes = from.readAll();
    // A new file, not a copy: a copy would keep the seed's read-only mode and
    // refuse the write that follows.
    QSaveFile to(path);
    if (to.open(QIODevice::WriteOnly) && to.write(bytes) == bytes.size()) to.commit();
}

SettingsEnvironment SettingsEnvironment::Current() {
    return {qEnvironmentVariable("XDG_CONFIG_HOME"), QDir::homePath(),
            [](const QString& path) { return QFileInfo(path).isWritable(); }};
}

SettingsLocation LocateSettings(const QString& executableDir, const SettingsEnvironment& env) {
    const QString beside = QDir(executableDir).filePath(kSettingsName);
    const bool besideExists = QFileInfo::exists(beside);
    // A file that can be written in place stays where it is, even in a folder
    // that takes no new files.
    if (env.writable(executableDir) || (besideExists && env.writable(beside))) return {beside, {}, false};
    // Relative values are to be ignored, as the desktop's base directory rules say.
    const QString configHome = !env.configHome.isEmpty() && QDir::isAbsolutePath(env.configHome)
                                   ? env.configHome
                                   : QDir(env.home).filePath(".config");
    return {QDir(configHome).filePath(QStringLiteral("svazkovna/") + kSettingsName), besideExists ? beside : QString(),
            true};
}
