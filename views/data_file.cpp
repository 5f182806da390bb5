#include "data_file.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

QString DataFilePath(const QString& name, const QString& programDir) {
    if (QFileInfo::exists(name))
        return name;
    const QString installed =
        QDir::cleanPath(programDir + QStringLiteral("/../share/gps-quillmar/") + name);
    return QFileInfo::exists(installed) ? installed : name;
}

QString DataFilePath(const QString& name) {
    return DataFilePath(name, QCoreApplication::applicationDirPath());
}
