// The cases of a data file under tests/data: one case a line, its fields
// apart by tabs; a line starting with "#" names the columns.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct SDataCase {
    std::string strWhere;                // "file:line", to name the case in a failure
    std::vector<std::string> astrField;
    const char* psz(size_t i) const { return astrField[i].c_str(); }
    bool b(size_t i) const { return astrField[i] == "1"; }
    int n(size_t i) const { return std::stoi(astrField[i]); }
    std::uint64_t hex(size_t i) const { return std::stoull(astrField[i], nullptr, 16); }
};

// Every case of the file, each with exactly nFields fields; a missing file,
// an empty one or a line of another width fails the calling test.
std::vector<SDataCase> ReadDataCases(const std::string& strName, size_t nFields);
