#pragma once
// Between the program's texts (UTF-8 std::string) and Qt's, and between file paths (the file
// system's bytes) and Qt's.

#include <QFile>
#include <QString>
#include <string>

namespace olvo {

inline QString ToQ(const std::string& text) {
    return QString::fromStdString(text);
}
inline std::string FromQ(const QString& text) {
    return text.toStdString();
}

inline QString ToQPath(const std::string& path) {
    return QFile::decodeName(QByteArray::fromStdString(path));
}
inline std::string FromQPath(const QString& path) {
    return QFile::encodeName(path).toStdString();
}

}  // namespace olvo
