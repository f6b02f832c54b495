#include "tools/zthost/Arguments.h"

#include <cstdlib>
#include <cstring>
#include <sys/stat.h>

namespace {

// An option's value is missing when the next argument is none, is empty or
// is an option itself (a word after "--", without blanks).
bool bValueMissing(int i, int argc, const char* const* argv)
{
    if (i + 1 >= argc || argv[i + 1][0] == 0)
        return true;
    const char* psz = argv[i + 1];
    return std::strncmp(psz, "--", 2) == 0 && std::strpbrk(psz, " \t\r\n") == nullptr;
}

} // namespace

const char* UsageText()
{
    return "usage: zthost [--message <id>] [<module path>]\n"
           "       zthost --sql <query> [--sql <query> ...] [--browse <table> [--key <item>] [--backward]]"
           " [<module path>]\n"
           "       zthost --browse <table> [--key <item>] [--backward] [<module path>]\n"
           "       zthost --help\n"
           "Without --sql or --browse it loads the module, lists its entries and runs its start-up\n"
           "(--message also prints that message of the module). --sql runs one statement, quoted, on the\n"
           "server that ZT_TEST_HOST, ZT_TEST_PORT, ZT_TEST_USER, ZT_TEST_PASSWORD and ZT_TEST_DATABASE\n"
           "describe and prints its rows; --browse then reads a table through the table object on a key\n"
           "(by default its best browse key), from its end with --backward. A module path holds a '/'\n"
           "(./zt190msql.so); by default the module beside zthost is loaded.\n";
}

bool bReadArguments(int argc, const char* const* argv, STArguments* pst, std::string* pstrMistake)
{
    *pst = STArguments();
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            pst->bHelp = true;
            return true;
        }
    }
    bool bModule = false;
    struct stat st;
    for (int i = 1; i < argc; ++i) {
        const std::string strArg = argv[i];
        if (strArg == "--sql") {
            if (bValueMissing(i, argc, argv)) {
                *pstrMistake = "--sql needs a query";
                return false;
            }
            pst->astrQuery.push_back(argv[++i]);
        } else if (strArg == "--browse" || strArg == "--key" || strArg == "--message") {
            bool* pbGiven = strArg == "--browse" ? &pst->bBrowse : strArg == "--key" ? &pst->bKey : &pst->bMessage;
            if (*pbGiven) {
                *pstrMistake = strArg + " given twice";
                return false;
            }
            if (bValueMissing(i, argc, argv)) {
                *pstrMistake = strArg + (strArg == "--browse" ? " needs a table"
                                         : strArg == "--key"  ? " needs an item"
                                                              : " needs a number");
                return false;
            }
            *pbGiven = true;
            const char* pszValue = argv[++i];
            if (strArg == "--browse") {
                pst->strTable = pszValue;
            } else if (strArg == "--key") {
                pst->strKey = pszValue;
            } else {
                // Digits only, and no more than a message number holds.
                const size_t nDigits = std::strspn(pszValue, "0123456789");
                const unsigned long long n = std::strtoull(pszValue, nullptr, 10);
                if (pszValue[nDigits] != 0 || nDigits > 10 || n > 0xFFFFFFFFull) {
                    *pstrMistake = std::string("bad message number '") + pszValue + "'";
                    return false;
                }
                pst->nMessage = static_cast<unsigned>(n);
            }
        } else if (strArg == "--backward") {
            pst->bBackward = true;
        } else if (strArg[0] == '-') {
            *pstrMistake = "unknown option " + strArg;
            return false;
        } else if (strArg.find('/') == std::string::npos || bModule) {
            // The words of an unquoted query, or a second path.
            *pstrMistake = "unexpected argument '" + strArg + "'";
            if (i >= 2 && std::strcmp(argv[i - 2], "--sql") == 0 && strArg.find('/') == std::string::npos)
                *pstrMistake += ": quote the query";
            return false;
        } else if (stat(argv[i], &st) != 0 || !S_ISREG(st.st_mode)) {
            // Before anything loads: an unquoted query holding a '/' comes
            // here too.
            *pstrMistake = "no module file '" + strArg + "': an argument holding a '/' names the module";
            return false;
        } else {
            bModule = true;
            pst->strModule = strArg;
        }
    }
    if (!pst->bBrowse && (pst->bKey || pst->bBackward)) {
        *pstrMistake = "--key and --backward go with --browse";
        return false;
    }
    if (pst->bMessage && (pst->bBrowse || !pst->astrQuery.empty())) {
        *pstrMistake = "--message goes without --sql and --browse";
        return false;
    }
    return true;
}
