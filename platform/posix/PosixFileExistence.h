#pragma once

#include "platform/FileExistence.h"

namespace kestrun {

/// File existence on a POSIX file system. A regular file (or a link to one)
/// counts; folders and other kinds never do. Names starting with "." match a
/// pattern only when the pattern starts with "." too.
class PosixFileExistence : public FileExistence {
public:
    bool OrdinaryFileExists(const std::string& path) override;
};

/// Whether `name` matches `pattern`, where "*" stands for any run of
/// characters and "?" for any one byte; everything else matches itself.
bool MatchesWildcard(const std::string& pattern, const std::string& name);

}  // namespace kestrun
