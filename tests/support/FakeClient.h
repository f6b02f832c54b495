// Where the tests find the stand-ins for the client library (built with
// them): zt_fake_<scenario>.so, the counting library and the load probe.
#pragma once

#include <string>

inline std::string FakeClientPath(const std::string& strFile)
{
    return std::string(ZT_BUILD_DIR) + "/fakeclient/" + strFile;
}

inline std::wstring FakeClientWPath(const std::string& strFile)
{
    const std::string s = FakeClientPath(strFile);
    return std::wstring(s.begin(), s.end());
}
