#include "data_file.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

QString DataFilePath(const QString& name) {
    if (QFileInfo::exists(name))
        return name;
    const QString installed = QDir::cleanPath(QCoreApplication::applicationDirPath() +
                                              QStringLiteral("/../share/gps-quillmar/") + name);
    return QFileInfo::exists(installed) ? installed : name;
}
