// Paths cross between Qt's strings and the core's bytes the way the file system spells them,
// so a name the user chose comes back exactly, whatever bytes it holds.
#pragma once

#include <QFile>
#include <QString>
#include <string>

namespace tessarel {

inline std::string PathFromQt(const QString& text) {
    return QFile::encodeName(text).toStdString();
}

inline QString PathToQt(const std::string& path) {
    return QFile::decodeName(QByteArray::fromStdString(path));
}

}  // namespace tessarel
