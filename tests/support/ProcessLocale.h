// The process's locale for a scope: set as a test asks, the locale before
// comes back at its end, whatever failed in between.
#pragma once

#include <clocale>
#include <string>

class CProcessLocale {
public:
    CProcessLocale() : m_strBefore(std::setlocale(LC_ALL, nullptr)) {}
    ~CProcessLocale() { std::setlocale(LC_ALL, m_strBefore.c_str()); }
    CProcessLocale(const CProcessLocale&) = delete;
    CProcessLocale& operator=(const CProcessLocale&) = delete;

    // False when the system lacks the locale.
    bool bSet(const char* pszLocale) { return std::setlocale(LC_ALL, pszLocale) != nullptr; }

private:
    std::string m_strBefore;
};
