// Where the tests find what the build made and the data files beside them.
// Only Paths.cpp holds these folders, so that every other test object is
// the same in every clone and comes from the compiler cache.
#pragma once

#include <string>

// A file of the build folder, e.g. BuildPath("zt190msql.so").
std::string BuildPath(const std::string& strName);
// A file of the source tree, e.g. SourcePath("scripts/lib.sh").
std::string SourcePath(const std::string& strName);
// A file under tests/data of the source tree.
std::string DataPath(const std::string& strName);
