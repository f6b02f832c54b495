// The command line of the command-line host, read whole before anything
// runs: each mistake is named, none is left to a later step.
#pragma once

#include <string>
#include <vector>

struct STArguments {
    bool bHelp = false;
    std::string strModule;
    bool bMessage = false;
    unsigned nMessage = 0;
    std::vector<std::string> astrQuery;
    bool bBrowse = false;
    std::string strTable;
    bool bKey = false;
    std::string strKey;
    bool bBackward = false;
};

// False with the mistake named in *pstrMistake.
bool bReadArguments(int argc, const char* const* argv, STArguments* pst, std::string* pstrMistake);
// What --help prints.
const char* UsageText();
