#include "support/app_files.h"

#include <QFile>

namespace testsupport {

std::string Slurp(const std::string& path) {
    QFile f(QString::fromStdString(path));
    f.open(QIODevice::ReadOnly);
    return f.readAll().toStdString();
}

void Spit(const std::string& path, const std::string& bytes) {
    QFile f(QString::fromStdString(path));
    f.open(QIODevice::WriteOnly);
    f.write(bytes.data(), static_cast<qint64>(bytes.size()));
}

}  // namespace testsupport
