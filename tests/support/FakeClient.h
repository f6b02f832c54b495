// Where the tests find the stand-ins for the client library (built with
// them): zt_fake_<scenario>.so, the counting library and the load probe, by
// paths the driver takes from a build folder at any path.
#pragma once

#include "tests/support/Paths.h"

#include <string>

inline std::string FakeClientPath(const std::string& strFile)
{
    return DriverBuildPath("fakeclient/" + strFile);
}

inline std::wstring FakeClientWPath(const std::string& strFile)
{
    const std::string s = FakeClientPath(strFile);
    return std::wstring(s.begin(), s.end());
}
