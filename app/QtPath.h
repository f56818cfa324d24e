#pragma once

#include <QFile>
#include <QString>

#include <filesystem>

namespace kestrun {

/// A file path as Qt's text, without loss: the name's bytes decoded as Qt
/// decodes file names on POSIX systems, the wide characters on Windows.
inline QString QtPath(const std::filesystem::path& path)
{
#if defined(_WIN32)
    return QString::fromStdWString(path.native());
#else
    return QFile::decodeName(path.c_str());
#endif
}

/// Qt's text of a file path as a path.
inline std::filesystem::path PathOfQt(const QString& path)
{
#if defined(_WIN32)
    return std::filesystem::path(path.toStdWString());
#else
    return QFile::encodeName(path).toStdString();
#endif
}

}  // namespace kestrun
