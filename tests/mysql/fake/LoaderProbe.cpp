// Loads the client library by its default name, as the driver does with no
// library option, and prints the file it came from and its version text:
// run from a folder of its own, it shows where the search starts.
#include "mysql/NAFunctionLoader.h"

#include <cstdio>

int main()
{
    CTString csPath;
    if (!CNAFunctionLoader::g_bInitNative(nullptr, &csPath, L"", 0))
        return 1;
    CTString csVersion;
    if (!CNAFunctionLoader::g_bGetClientVersion(nullptr, nullptr, 101, 7, &csVersion))
        return 2;
    std::printf("%ls\n%ls\n", csPath.pszGet(), csVersion.pszGet());
    CNAFunctionLoader::g_Term();
    return 0;
}
