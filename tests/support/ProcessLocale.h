// The process's locale for a scope: set as a test asks, the locale before
// comes back at its end, whatever failed in between.
#pragma once

#include "tests/support/Paths.h"

#include <clocale>
#include <cstdlib>
#include <string>
#include <sys/stat.h>

// The folder of the build holding the locale built from its source and
// character map (localedef), named "<source>.<charmap>"; it is built once,
// aside and then moved in whole, so that tests running at once never read
// half of it. Empty when it cannot be built.
inline std::string BuiltLocaleFolder(const std::string& strSource, const std::string& strCharmap)
{
    const std::string strFolder = BuildPath("locales");
    const std::string strPath = strFolder + "/" + strSource + "." + strCharmap;
    struct stat st;
    if (stat((strPath + "/LC_CTYPE").c_str(), &st) == 0)
        return strFolder;
    mkdir(strFolder.c_str(), 0755);
    std::string strAside = strFolder + "/.build_XXXXXX";
    if (mkdtemp(&strAside[0]) == nullptr)
        return "";
    const std::string strBuilt = strAside + "/" + strSource + "." + strCharmap;
    const std::string strCommand =
        "localedef -i '" + strSource + "' -f '" + strCharmap + "' '" + strBuilt + "' >/dev/null 2>&1";
    if (std::system(strCommand.c_str()) == 0)
        rename(strBuilt.c_str(), strPath.c_str());
    std::system(("rm -rf '" + strAside + "'").c_str());
    return stat((strPath + "/LC_CTYPE").c_str(), &st) == 0 ? strFolder : "";
}

class CProcessLocale {
public:
    CProcessLocale() : m_strBefore(std::setlocale(LC_ALL, nullptr)) {}
    ~CProcessLocale() { std::setlocale(LC_ALL, m_strBefore.c_str()); }
    CProcessLocale(const CProcessLocale&) = delete;
    CProcessLocale& operator=(const CProcessLocale&) = delete;

    // The category in the locale named: the system's, else one built into a
    // folder of the build from the name's source and character map
    // ("tr_TR.UTF-8") and read from there (LOCPATH for this call alone: the
    // module's own fixed locale is never looked for in it). False when
    // neither can be had.
    bool bSet(const char* pszLocale, int nCategory = LC_ALL)
    {
        if (std::setlocale(nCategory, pszLocale) != nullptr)
            return true;
        const std::string strName(pszLocale);
        const size_t nDot = strName.find('.');
        const std::string strFolder =
            nDot != std::string::npos ? BuiltLocaleFolder(strName.substr(0, nDot), strName.substr(nDot + 1)) : "";
        if (strFolder.empty())
            return false;
        const char* pszPath = std::getenv("LOCPATH");
        const std::string strPath = pszPath != nullptr ? pszPath : "";
        setenv("LOCPATH", strFolder.c_str(), 1);
        const bool bSet = std::setlocale(nCategory, pszLocale) != nullptr;
        if (pszPath != nullptr)
            setenv("LOCPATH", strPath.c_str(), 1);
        else
            unsetenv("LOCPATH");
        return bSet;
    }

private:
    std::string m_strBefore;
};
