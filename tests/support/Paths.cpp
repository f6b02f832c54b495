#include "tests/support/Paths.h"

std::string BuildPath(const std::string& strName)
{
    return std::string(ZT_BUILD_DIR "/") + strName;
}

std::string SourcePath(const std::string& strName)
{
    return std::string(ZT_SOURCE_DIR "/") + strName;
}

std::string DataPath(const std::string& strName)
{
    return SourcePath("tests/data/" + strName);
}
