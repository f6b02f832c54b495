// Where the tests find what the build made and the data files beside them.
// Only Paths.cpp holds these folders, so that every other test object is
// the same in every clone and comes from the compiler cache.
#pragma once

#include <string>

// A file of the build folder, e.g. BuildPath("zt190msql.so").
std::string BuildPath(const std::string& strName);
// The same by a path the driver takes (it takes at most 259 characters, as
// the host does): through ShortFolderPath of the build folder.
std::string DriverBuildPath(const std::string& strName);
// A file of the source tree, e.g. SourcePath("scripts/lib.sh").
std::string SourcePath(const std::string& strName);
// A file under tests/data of the source tree.
std::string DataPath(const std::string& strName);

// The folder (an absolute path) by a path of at most 100 characters: the
// folder itself when it is that short, otherwise a link to it under /tmp
// named after it and the user, made by the first process that asks and
// then shared (another folder gets another link; one left behind names only
// the folder). The folder itself when no such link can be made.
std::string ShortFolderPath(const std::string& strFolder);
