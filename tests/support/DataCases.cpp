#include "tests/support/DataCases.h"

#include "tests/support/Paths.h"

#include <gtest/gtest.h>

#include <fstream>

std::vector<SDataCase> ReadDataCases(const std::string& strName, size_t nFields)
{
    std::vector<SDataCase> aCases;
    std::ifstream in(DataPath(strName));
    EXPECT_TRUE(in.is_open()) << "cannot read " << DataPath(strName);
    std::string strLine;
    for (int nLine = 1; std::getline(in, strLine); ++nLine) {
        if (strLine.empty() || strLine[0] == '#')
            continue;
        SDataCase c;
        c.strWhere = strName + ":" + std::to_string(nLine);
        size_t nStart = 0;
        for (size_t nTab; (nTab = strLine.find('\t', nStart)) != std::string::npos; nStart = nTab + 1)
            c.astrField.push_back(strLine.substr(nStart, nTab - nStart));
        c.astrField.push_back(strLine.substr(nStart));
        if (c.astrField.size() != nFields) {
            ADD_FAILURE() << c.strWhere << ": " << c.astrField.size() << " fields, " << nFields << " expected";
            continue;
        }
        aCases.push_back(std::move(c));
    }
    EXPECT_FALSE(aCases.empty()) << strName << " holds no case";
    return aCases;
}
