// A fresh temporary folder, removed with what is left in it.
#pragma once

#include <cstdlib>
#include <string>

class CTempDir {
public:
    // The folder is /tmp/<prefix>_XXXXXX; Path() is empty when it could not
    // be made.
    explicit CTempDir(const std::string& strPrefix = "zt_test")
    {
        std::string strTemplate = "/tmp/" + strPrefix + "_XXXXXX";
        const char* p = mkdtemp(&strTemplate[0]);
        m_path = p ? p : "";
    }
    ~CTempDir()
    {
        if (!m_path.empty())
            std::system(("rm -rf '" + m_path + "'").c_str());
    }
    CTempDir(const CTempDir&) = delete;
    CTempDir& operator=(const CTempDir&) = delete;

    const std::string& Path() const { return m_path; }
    std::wstring WPath() const { return std::wstring(m_path.begin(), m_path.end()); }

private:
    std::string m_path;
};
