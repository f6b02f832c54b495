#include "tests/support/Paths.h"

#include <climits>
#include <cstdint>
#include <cstdio>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const size_t kShortFolder = 100;

// A link of this user's to strFolder.
bool bOwnLinkTo(const std::string& strLink, const std::string& strFolder)
{
    struct stat st;
    if (lstat(strLink.c_str(), &st) != 0 || !S_ISLNK(st.st_mode) || st.st_uid != geteuid())
        return false;
    char sz[PATH_MAX];
    return readlink(strLink.c_str(), sz, sizeof sz) == static_cast<ssize_t>(strFolder.size()) &&
           strFolder.compare(0, strFolder.size(), sz, strFolder.size()) == 0;
}

}  // namespace

std::string ShortFolderPath(const std::string& strFolder)
{
    if (strFolder.size() <= kShortFolder)
        return strFolder;
    uint64_t nHash = 14695981039346656037ull;
    for (const unsigned char c : strFolder) {
        nHash ^= c;
        nHash *= 1099511628211ull;
    }
    char szLink[64];
    std::snprintf(szLink, sizeof szLink, "/tmp/zt-folder-%u-%016llx", static_cast<unsigned>(geteuid()),
                  static_cast<unsigned long long>(nHash));
    const std::string strLink = szLink;
    if (bOwnLinkTo(strLink, strFolder))
        return strLink;
    // Made under a name of this process's (one left by an earlier process of
    // that number goes), then renamed over the shared name in one step: a
    // test process running beside this one finds the link whole or not at
    // all, and one left by an earlier folder of the same name goes.
    const std::string strNew = strLink + "." + std::to_string(getpid());
    unlink(strNew.c_str());
    if (symlink(strFolder.c_str(), strNew.c_str()) == 0 && rename(strNew.c_str(), strLink.c_str()) == 0 &&
        bOwnLinkTo(strLink, strFolder))
        return strLink;
    unlink(strNew.c_str());
    std::fprintf(stderr, "no link %s to %s could be made: the tests hand the driver its long path\n",
                 strLink.c_str(), strFolder.c_str());
    return strFolder;
}

std::string BuildPath(const std::string& strName)
{
    return std::string(ZT_BUILD_DIR "/") + strName;
}

std::string DriverBuildPath(const std::string& strName)
{
    static const std::string s_strFolder = ShortFolderPath(ZT_BUILD_DIR);
    return s_strFolder + "/" + strName;
}

std::string SourcePath(const std::string& strName)
{
    return std::string(ZT_SOURCE_DIR "/") + strName;
}

std::string DataPath(const std::string& strName)
{
    return SourcePath("tests/data/" + strName);
}
