// Pins the process time zone for one scope, then puts back the one it had.
#pragma once

#include <cstdlib>
#include <ctime>
#include <string>

class CPinnedTimeZone {
public:
    // tz in the TZ syntax, e.g. "CET-1CEST,M3.5.0,M10.5.0/3".
    explicit CPinnedTimeZone(const char* tz)
    {
        const char* old = std::getenv("TZ");
        m_bHad = old != nullptr;
        if (m_bHad)
            m_old = old;
        setenv("TZ", tz, 1);
        tzset();
    }
    ~CPinnedTimeZone()
    {
        if (m_bHad)
            setenv("TZ", m_old.c_str(), 1);
        else
            unsetenv("TZ");
        tzset();
    }
    CPinnedTimeZone(const CPinnedTimeZone&) = delete;
    CPinnedTimeZone& operator=(const CPinnedTimeZone&) = delete;

private:
    bool m_bHad;
    std::string m_old;
};
