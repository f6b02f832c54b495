// Command-line host: loads the module the way the runtime does, next to the
// stand-in runtime, reports what the module offers and runs its start-up
// protocol. With --sql it runs each query on one connection to the server
// that ZT_TEST_HOST, _PORT, _SOCKET, _USER, _PASSWORD and _DATABASE describe,
// and prints the rows instead; with --browse it then reads a table record by
// record on a key through the driver's table object, as the host's file
// functions do. Both print values in the forms of ValueForm.h; the options
// are in Arguments.cpp.
#include "access/driver/INADataSourceDescription.h"
#include "access/driver/INADriver.h"
#include "access/driver/INADriverSQL.h"
#include "access/driver/NAItemDescription.h"
#include "access/statement/NAKXRecord.h"
#include "access/table/INATable.h"
#include "common/values/Any.h"
#include "common/values/AnyConvert.h"
#include "host/HostConnectionDescription.h"
#include "host/HostContext.h"
#include "common/platform/DllRes.h"
#include "common/platform/ExecutionDLL.h"
#include "common/platform/InformationDLL.h"
#include "common/platform/MyModuleInfo.h"
#include "host/HostStandIn.h"
#include "tools/zthost/Arguments.h"
#include "tools/zthost/StatementText.h"
#include "tools/zthost/ValueForm.h"

#include <cstdio>
#include <cstdlib>
#include <clocale>
#include <cstring>
#include <cwchar>
#include <dlfcn.h>
#include <string>
#include <unistd.h>
#include <utility>
#include <vector>

namespace {

std::string BesideExecutable(const char* pszName)
{
    char szPath[4096] = {};
    const ssize_t n = readlink("/proc/self/exe", szPath, sizeof(szPath) - 1);
    std::string strDir = n > 0 ? std::string(szPath, static_cast<size_t>(n)) : std::string(".");
    const size_t slash = strDir.rfind('/');
    strDir = slash == std::string::npos ? "." : strDir.substr(0, slash);
    return strDir + "/" + pszName;
}

// The entries and data the runtime and the data engine look for.
// Each is shown by its name and looked up by its exported symbol (the
// escaping pair is exported as C++ overloads).
struct STEntry {
    const char* pszName;
    const char* pszSymbol;
};
const STEntry kEntries[] = {
    {"bDLLCompatible", "bDLLCompatible"},
    {"bInitLibrary", "bInitLibrary"},
    {"piQueryInterface", "piQueryInterface"},
    {"TermLibrary", "TermLibrary"},
    {"Execution", "Execution"},
    {"CommandeComposante", "CommandeComposante"},
    {"DLLRES_pLoadResourceModule", "DLLRES_pLoadResourceModule"},
    {"bInitTQConvFromVM", "bInitTQConvFromVM"},
    {"bInitTQCalcFromVM", "bInitTQCalcFromVM"},
    {"pszVerrueEscapeMySQL(char)", "_Z20pszVerrueEscapeMySQLPKcw"},
    {"pszVerrueEscapeMySQL(wchar_t)", "_Z20pszVerrueEscapeMySQLPKww"},
    {"VersionInfo", "VersionInfo"},
    {"zVersionPR", "zVersionPR"},
    {"zVersionVI", "zVersionVI"},
    {"gstMyModuleInfo32", "gstMyModuleInfo32"},
};

typedef unsigned (*PFN_MODULE_EXECUTION)(unsigned nCommand, void* pArgument);
typedef int (*PFN_DLLCOMPATIBLE)(int nModule, int nVersion, int* pnRequired);
typedef int (*PFN_INITLIBRARY)(void* hModule);
typedef INADriver* (*PFN_QUERYINTERFACE)();
typedef int (*PFN_TERMLIBRARY)();

template <class F>
F Entry(void* h, const char* pszName)
{
    void* p = dlsym(h, pszName);
    F pfn = nullptr;
    std::memcpy(&pfn, &p, sizeof(p));
    return pfn;
}

// The driver's start-up as the host runs it: start, version settlement with
// the data-engine (7) and SQL (28) modules, the driver, its end.
bool RunDriverStartUp(void* hModule)
{
    auto pfnInit = Entry<PFN_INITLIBRARY>(hModule, "bInitLibrary");
    auto pfnCompatible = Entry<PFN_DLLCOMPATIBLE>(hModule, "bDLLCompatible");
    auto pfnQuery = Entry<PFN_QUERYINTERFACE>(hModule, "piQueryInterface");
    auto pfnTerm = Entry<PFN_TERMLIBRARY>(hModule, "TermLibrary");
    if (pfnInit == nullptr || pfnCompatible == nullptr || pfnQuery == nullptr || pfnTerm == nullptr) {
        std::printf("the driver cannot start: an entry is missing\n");
        return false;
    }
    std::printf("bInitLibrary: %d\n", pfnInit(hModule));
    int nRequired = 0;
    const int bKX = pfnCompatible(7, 31, &nRequired);
    std::printf("bDLLCompatible(7, 31): %d, version required %d\n", bKX, nRequired);
    const int bSQL = pfnCompatible(28, 31, &nRequired);
    std::printf("bDLLCompatible(28, 31): %d, version required %d\n", bSQL, nRequired);
    INADriver* piDriver = pfnQuery();
    bool bOk = piDriver != nullptr;
    if (piDriver != nullptr) {
        std::printf("driver: version %d, compatible since %d\n", piDriver->nGetVersion(), piDriver->nGetCompatSince());
        std::printf("driver released: %d references left\n", piDriver->nExternalRelease());
    } else {
        std::printf("piQueryInterface: no driver\n");
    }
    std::printf("TermLibrary: %d\n", pfnTerm());
    return bOk;
}

// A driver's report for the terminal: UTF-8, CR LF as one line end.
std::string ReportText(const wchar_t* psz)
{
    std::wstring str;
    for (const wchar_t* p = psz; *p != 0; ++p) {
        if (*p != L'\r' || p[1] != L'\n')
            str += *p == L'\r' ? L'\n' : *p;
    }
    return Utf8(str.c_str(), str.size());
}

// A name the module or the driver gives, or "(null)".
std::string NameText(const wchar_t* psz)
{
    return psz == nullptr ? std::string("(null)") : EscapedText(Utf8(psz, std::wcslen(psz)));
}

// A wide text in a field of nChars characters, not trusted to be ended.
std::string Field(const wchar_t* psz, size_t nChars)
{
    return EscapedText(Utf8(psz, wcsnlen(psz, nChars)));
}

void PrintVersionBlock(void* hModule)
{
    const char* const* ppBlock = static_cast<const char* const*>(dlsym(hModule, "VersionInfo"));
    if (ppBlock != nullptr && *ppBlock != nullptr && std::strcmp(*ppBlock, "VersionInfoMarkStart") == 0) {
        std::printf("version block:\n");
        const char* p = *ppBlock + std::strlen(*ppBlock) + 1;
        // Key and value pairs up to the empty text before the end mark.
        while (*p != 0) {
            const char* pszValue = p + std::strlen(p) + 1;
            std::printf("  %s = %s\n", p, EscapedText(pszValue).c_str());
            p = pszValue + std::strlen(pszValue) + 1;
        }
        std::printf("  end mark: %s\n", p + 1);
    }
    if (const wchar_t* psz = static_cast<const wchar_t*>(dlsym(hModule, "zVersionPR")))
        std::printf("zVersionPR: %s\n", Field(psz, 20).c_str());
    if (const wchar_t* psz = static_cast<const wchar_t*>(dlsym(hModule, "zVersionVI")))
        std::printf("zVersionVI: %s\n", Field(psz, 26).c_str());
    if (const _stMyModuleInfo* pst = static_cast<const _stMyModuleInfo*>(dlsym(hModule, "gstMyModuleInfo32")))
        std::printf("identity: module %u, file %s, version %s, %u error definitions\n", pst->dwModule,
                    NameText(pst->pszModuleName).c_str(), NameText(pst->pszModuleVersion).c_str(), pst->dwNbErrorDef);
}

// Loads message nId through CommandeComposante(3); false when missing.
bool PrintMessage(PFN_COMMANDECOMPOSANTE pfnCommande, unsigned nId)
{
    static wchar_t szTexte[4096];
    STCommandeChargeChaine st = {sizeof(STCommandeChargeChaine), nId, szTexte,
                                 static_cast<int32_t>(sizeof(szTexte) / sizeof(szTexte[0])), 0};
    const int n = pfnCommande(3, &st);
    if (n <= 0) {
        std::printf("message %u: not found\n", nId);
        return false;
    }
    std::printf("message %u: %s\n", nId, Field(szTexte, static_cast<size_t>(n)).c_str());
    return true;
}

// UTF-8 as wide text: the texts and names of the command line are refused
// before when they are not well-formed; in the environment's a byte that
// starts no character stands for itself.
std::wstring Wide(const std::string& str)
{
    std::wstring s;
    size_t nLength = 0;
    for (size_t n = 0; n < str.size(); n += nLength)
        s.push_back(static_cast<wchar_t>(nUtf8CharacterAt(str, n, &nLength)));
    return s;
}

// The environment's text as wide text; false when unset.
bool bEnvWide(const char* pszName, std::wstring* ps)
{
    const char* psz = std::getenv(pszName);
    if (psz == nullptr)
        return false;
    *ps = Wide(psz);
    return true;
}

// Prints the error's report to stderr; 1.
int Failure(INAError* pi, const char* pszStep)
{
    const wchar_t* psz = pi != nullptr ? pi->pszGetError() : nullptr;
    std::fflush(stdout);
    std::fprintf(stderr, "zthost: %s failed\n%s\n", pszStep, psz != nullptr ? ReportText(psz).c_str() : "");
    return 1;
}

// Prints the interface's last error to stderr; 1.
int SQLFailure(INADriverSQL* piSQL, const char* pszStep)
{
    return Failure(piSQL->piGetLastError(), pszStep);
}

// The forms of a result's columns, from the SQL interface's description
// of it; false when it gives none.
bool bColumnForms(INADriverSQL* piSQL, int nConnection, int nStatement, int nColumns, bool bOwnBuild,
                  std::vector<STValueForm>* pastForm)
{
    INADataSourceDescription* piDescription = piSQL->piGetTableDesc(nConnection, nStatement, 0);
    if (piDescription == nullptr)
        return false;
    bool bOk = true;
    for (int i = 0; i < nColumns && bOk; ++i) {
        INAItemDescription* pi = piDescription->piNAGetItem(static_cast<unsigned>(i));
        bOk = pi != nullptr;
        if (bOk) {
            pastForm->push_back(FormOfColumn(pi, bOwnBuild));
            pi->nExternalRelease();
        }
    }
    piDescription->nExternalRelease();
    return bOk;
}

// After a failed query: the options that did not run, on stderr.
void ReportNotRun(size_t nLaterQueries, bool bBrowse)
{
    if (nLaterQueries == 0 && !bBrowse)
        return;
    std::string str = nLaterQueries == 0 ? std::string() : std::to_string(nLaterQueries) + " later --sql";
    if (bBrowse)
        str += nLaterQueries == 0 ? "--browse" : " and --browse";
    std::fprintf(stderr, "zthost: the run ends at the failed --sql: %s did not run\n", str.c_str());
}

// How the session reads a text now, asked on its connection; false after a
// failure, its error left in the interface.
bool bSessionReading(INADriverSQL* piSQL, int nConnection, STSessionReading* pst)
{
    const std::wstring strText = Wide(kSessionReadingQuery);
    int nStatement = 0;
    if (!piSQL->bExecute(&nStatement, nConnection, strText.c_str(), nullptr, 0))
        return false;
    bool bOk = nStatement != 0 && piSQL->bFetch(nConnection, nStatement, 0);
    std::string* const apstr[] = {&pst->strVersion, &pst->strSQLMode, &pst->strClientCharset,
                                  &pst->strConnectionCharset};
    for (unsigned i = 0; i < sizeof(apstr) / sizeof(apstr[0]) && bOk; ++i) {
        CAny v;
        bOk = piSQL->bGetBLOBValue(&v, nConnection, nStatement, i + 1, 0);
        *apstr[i] = ValueBytes(v);
    }
    if (nStatement != 0)
        piSQL->bFreeStmt(nConnection, nStatement, 0);
    return bOk;
}

// Runs one query, read first as its session reads it, and prints its rows
// (or "ok"); 0, or 1 after a failure or a refusal.
int RunQuery(INADriverSQL* piSQL, int nConnection, const std::string& strQuery, bool bOwnBuild)
{
    if (!bOneStatementInAnySession(strQuery)) {
        STSessionReading stSession;
        if (!bSessionReading(piSQL, nConnection, &stSession))
            return SQLFailure(piSQL, "asking how the session reads the --sql");
        const std::string strRefusal = StatementTextRefusal(strQuery, stSession);
        if (!strRefusal.empty()) {
            std::fflush(stdout);
            std::fprintf(stderr, "zthost: --sql '%s' %s\n", strQuery.c_str(), strRefusal.c_str());
            return 1;
        }
    }
    const std::wstring strText = Wide(strQuery);
    int nStatement = 0;
    if (!piSQL->bExecute(&nStatement, nConnection, strText.c_str(), nullptr, 0))
        return SQLFailure(piSQL, "bExecute");
    if (nStatement == 0) {
        std::printf("ok\n");
        return 0;
    }
    int nResult = 0;
    int nColumns = 0;
    std::vector<STValueForm> astForm;
    piSQL->bGetColumnNbr(&nColumns, nConnection, nStatement, 0);
    if (!bColumnForms(piSQL, nConnection, nStatement, nColumns, bOwnBuild, &astForm))
        nResult = SQLFailure(piSQL, "piGetTableDesc");
    std::string strLine;
    for (int i = 1; i <= nColumns && nResult == 0; ++i) {
        CAny v;
        if (!piSQL->bGetColumnName(&v, nConnection, nStatement, static_cast<unsigned>(i), 0))
            nResult = SQLFailure(piSQL, "bGetColumnName");
        else
            strLine += (i > 1 ? "\t" : "") + ColumnValueText(v, STValueForm());
    }
    if (nResult == 0)
        std::printf("%s\n", strLine.c_str());
    while (nResult == 0 && piSQL->bFetch(nConnection, nStatement, 0)) {
        strLine.clear();
        for (int i = 1; i <= nColumns && nResult == 0; ++i) {
            const STValueForm& stForm = astForm[static_cast<size_t>(i - 1)];
            const unsigned nColumn = static_cast<unsigned>(i);
            CAny v;
            // Bytes are read as bytes: as text they would pass through a
            // code page; so is a text this program converts itself.
            const bool bBytes = stForm.eKind == STValueForm::BYTES || stForm.pszCharset != nullptr;
            if (bBytes ? !piSQL->bGetBLOBValue(&v, nConnection, nStatement, nColumn, 0)
                       : !piSQL->bGetValue(&v, nConnection, nStatement, nColumn, 0))
                nResult = SQLFailure(piSQL, "bGetValue");
            else
                strLine += (i > 1 ? "\t" : "") + ColumnValueText(v, stForm);
        }
        if (nResult == 0)
            std::printf("%s\n", strLine.c_str());
    }
    // A fetch that failed rather than ended leaves its error.
    if (nResult == 0 && piSQL->piGetLastError()->dwGetErrorId() != 0)
        nResult = SQLFailure(piSQL, "bFetch");
    piSQL->bFreeStmt(nConnection, nStatement, 0);
    return nResult;
}

// A table's failure is reported in the context's error object, but an
// opening's goes to the driver's.
INAError* piTableError(INADriver* piDriver, INATable* piTable, INAContext* piContext)
{
    INAError* pi = piTable->piGetLastError(piContext);
    return pi != nullptr && pi->dwGetErrorId() != 0 ? pi : piDriver->piGetLastError();
}

// The items of a table as the host sees a record, composite keys left out;
// each holds a reference.
class CRecordItems {
public:
    explicit CRecordItems(INADataSourceDescription* piDescription)
    {
        const unsigned int nItems = piDescription->nGetNumItems();
        for (unsigned int i = 0; i < nItems; ++i) {
            INAItemDescription* pi = piDescription->piNAGetItem(i);
            if (pi == nullptr)
                continue;
            if (pi->bIsComposedKey()) {
                pi->nExternalRelease();
                continue;
            }
            m_astItem.push_back({pi, FormOfItem(pi), nMemoIndex(piDescription, pi)});
        }
    }
    ~CRecordItems()
    {
        for (const STItem& st : m_astItem)
            st.pi->nExternalRelease();
    }
    CRecordItems(const CRecordItems&) = delete;
    CRecordItems& operator=(const CRecordItems&) = delete;

    std::string Header() const
    {
        std::string strLine;
        for (size_t i = 0; i < m_astItem.size(); ++i)
            strLine += (i > 0 ? "\t" : "") + NameText(m_astItem[i].pi->pszGetName());
        return strLine;
    }
    // The current record's values into *pstrLine; false when a memo cannot
    // be read.
    bool bLine(INATable* piTable, INAContext* piContext, const CNAKXRecord* pRecord, std::string* pstrLine) const
    {
        pstrLine->clear();
        for (size_t i = 0; i < m_astItem.size(); ++i) {
            const STItem& st = m_astItem[i];
            CAny v;
            if (i > 0)
                *pstrLine += "\t";
            if (!pRecord->vbItemValueDefined(st.pi, 0)) {
                *pstrLine += "\\N";
                continue;
            }
            // The record holds a memo's handle; the table object reads its
            // value as the host runtime does.
            if (st.nMemo >= 0) {
                if (!piTable->bGetBLOB(piContext, static_cast<unsigned>(st.nMemo), &v))
                    return false;
            } else {
                pRecord->vGetItemValue(&v, st.pi, 0);
            }
            *pstrLine += ItemValueText(v, st.stForm);
        }
        return true;
    }

private:
    struct STItem {
        INAItemDescription* pi;
        STValueForm stForm;
        int nMemo;
    };

    // The item's index among the table's memos, or -1.
    static int nMemoIndex(INADataSourceDescription* piDescription, INAItemDescription* piItem)
    {
        if (!piItem->bMemo())
            return -1;
        int nFound = -1;
        for (unsigned int i = 0; i < piDescription->nGetNumMemos() && nFound < 0; ++i) {
            INAItemDescription* pi = piDescription->piNAGetMemo(i);
            if (pi == nullptr)
                continue;
            if (std::wcscmp(pi->pszGetName(), piItem->pszGetName()) == 0)
                nFound = static_cast<int>(i);
            pi->nExternalRelease();
        }
        return nFound;
    }

    std::vector<STItem> m_astItem;
};

// The user error of a read that landed on a record holding a server value
// that its item cannot take.
constexpr unsigned int kValueNotHeld = 53;

// Reads the table open in the context from one end to the other on the
// key, printing each record; a record that cannot be read is reported on
// stderr and the browse reads on past it. 0, or 1 after any failure.
int BrowseOpenTable(INADriver* piDriver, INATable* piTable, INAContext* piContext, const wchar_t* pszKey,
                    const CRecordItems& clItems, bool bBackward)
{
    const eNA_LOCKTYPE eNoLock = static_cast<eNA_LOCKTYPE>(0);
    eNA_LOCKTYPE eLock = eNoLock;
    int bOut = 1;
    int nResult = 0;
    // Moves the browse; false when it cannot go on. A read refused for a
    // value its item cannot take leaves the browse on the record, that item
    // NULL: the record is printed all the same.
    auto bRead = [&](int nDirection) {
        unsigned int nError = 0;
        if (!piTable->bHLitxxx(piContext, pszKey, static_cast<eNA_PARSEDIRECTION>(nDirection), 0, eNoLock, &eLock,
                               0)) {
            INAError* pi = piTableError(piDriver, piTable, piContext);
            nError = pi != nullptr ? pi->dwGetErrorId() : 0;
            nResult = Failure(pi, "bHLitxxx");
            if (nError != kValueNotHeld)
                return false;
        }
        if (!piTable->bHEnDehors(piContext, pszKey, &bOut)) {
            nResult = Failure(piTableError(piDriver, piTable, piContext), "bHEnDehors");
            return false;
        }
        return true;
    };
    if (!bRead(bBackward ? 1 : 0))
        return 1;
    std::printf("%s\n", clItems.Header().c_str());
    while (!bOut) {
        CNAKXRecord* pRecord = nullptr;
        if (!piTable->bGetRecord(piContext, &pRecord) || pRecord == nullptr)
            return Failure(piTableError(piDriver, piTable, piContext), "bGetRecord");
        std::string strLine;
        const bool bLine = clItems.bLine(piTable, piContext, pRecord, &strLine);
        pRecord->nRelease();
        if (!bLine)
            return Failure(piTableError(piDriver, piTable, piContext), "bGetBLOB");
        std::printf("%s\n", strLine.c_str());
        if (!bRead(bBackward ? 3 : 2))
            return 1;
    }
    return nResult;
}

// The host's road to a table's records: its description, the table object,
// the opening in one context, the browse, then everything given back.
int RunBrowse(INADriver* piDriver, INAConnectionDescription* piServer, const STArguments& stBrowse)
{
    const std::wstring strTable = Wide(stBrowse.strTable);
    INADataSourceDescription* piDescription = piDriver->piGetTableDesc(strTable.c_str(), piServer);
    if (piDescription == nullptr)
        return Failure(piDriver->piGetLastError(), "piGetTableDesc");
    std::wstring strKey = Wide(stBrowse.strKey);
    if (strKey.empty()) {
        if (INAItemDescription* pi = piDescription->piGetBestParseItemDesc()) {
            strKey = pi->pszGetName() != nullptr ? pi->pszGetName() : L"";
            pi->nExternalRelease();
        }
    }
    int nResult = 0;
    INATable* piTable = piDriver->piGetTable(piServer, piDescription);
    if (piTable == nullptr) {
        nResult = Failure(piDriver->piGetLastError(), "piGetTable");
    } else {
        CHostContext clContext(1, 1);
        if (!piTable->bHOuvre(&clContext, static_cast<eNA_ACCESS>(0), L"")) {
            nResult = Failure(piTableError(piDriver, piTable, &clContext), "bHOuvre");
        } else {
            const CRecordItems clItems(piDescription);
            nResult = BrowseOpenTable(piDriver, piTable, &clContext, strKey.c_str(), clItems, stBrowse.bBackward);
            if (!piTable->bHFerme(&clContext) && nResult == 0)
                nResult = Failure(piTableError(piDriver, piTable, &clContext), "bHFerme");
        }
        piDriver->bCloseContext(&clContext);
        piTable->nExternalRelease();
    }
    piDescription->nExternalRelease();
    return nResult;
}

// The driver sends the browse's table name to the server and finds its key
// by name: a byte read as another character would name another. Such a
// name is known from the command line: it is refused before any --sql
// runs. False after the refusal.
bool bBrowseNamesWellFormed(const STArguments& stArguments)
{
    const std::pair<const char*, const std::string*> aName[] = {{"--browse", &stArguments.strTable},
                                                                {"--key", &stArguments.strKey}};
    for (const auto& stName : aName) {
        const std::string strWhy = IllFormedUtf8(*stName.second);
        if (!strWhy.empty()) {
            std::fprintf(stderr, "zthost: %s '%s' is not sent: %s\n", stName.first, stName.second->c_str(),
                         strWhy.c_str());
            return false;
        }
    }
    return true;
}

typedef int (*PFN_INITVM)(void* hVM, int nVersion, int nVersionCompat);

// The host's road to SQL: the start-up, one connection to the private
// server, the queries, the browse, then the end in order.
int RunSQL(void* hModule, void* hRuntime, IHostStandIn* piHost, const STArguments& stArguments)
{
    auto pfnInit = Entry<PFN_INITLIBRARY>(hModule, "bInitLibrary");
    auto pfnCompatible = Entry<PFN_DLLCOMPATIBLE>(hModule, "bDLLCompatible");
    auto pfnQuery = Entry<PFN_QUERYINTERFACE>(hModule, "piQueryInterface");
    auto pfnTerm = Entry<PFN_TERMLIBRARY>(hModule, "TermLibrary");
    auto pfnConv = Entry<PFN_INITVM>(hModule, "bInitTQConvFromVM");
    auto pfnCalc = Entry<PFN_INITVM>(hModule, "bInitTQCalcFromVM");
    if (pfnInit == nullptr || pfnCompatible == nullptr || pfnQuery == nullptr || pfnTerm == nullptr ||
        pfnConv == nullptr || pfnCalc == nullptr) {
        std::fprintf(stderr, "zthost: the driver cannot start: an entry is missing\n");
        return 1;
    }
    CHostConnectionDescription clServer;
    std::wstring strHost, strPort, strSocket, strUser, strPassword, strDatabase;
    if (!bEnvWide("ZT_TEST_HOST", &strHost) || !bEnvWide("ZT_TEST_USER", &strUser)) {
        std::fprintf(stderr, "zthost: no server described (ZT_TEST_HOST, ZT_TEST_USER...)\n");
        return 1;
    }
    std::wstring strOptions;
    if (bEnvWide("ZT_TEST_PORT", &strPort))
        strOptions += L"Server Port=" + strPort + L";";
    if (bEnvWide("ZT_TEST_SOCKET", &strSocket) && strHost == L"localhost")
        strOptions += L"Unix Socket=" + strSocket + L";";
    bEnvWide("ZT_TEST_PASSWORD", &strPassword);
    bEnvWide("ZT_TEST_DATABASE", &strDatabase);
    clServer.SetText(CHostConnectionDescription::TXT_CONNECTIONNAME, L"zthost");
    clServer.SetText(CHostConnectionDescription::TXT_PROVIDER, L"MySQL");
    clServer.SetText(CHostConnectionDescription::TXT_DATASOURCE, strHost.c_str());
    clServer.SetText(CHostConnectionDescription::TXT_USER, strUser.c_str());
    clServer.SetText(CHostConnectionDescription::TXT_PASSWORD, strPassword.c_str());
    clServer.SetText(CHostConnectionDescription::TXT_DEFAULTDATABASE, strDatabase.c_str());
    clServer.SetText(CHostConnectionDescription::TXT_EXTENDEDINFO, strOptions.c_str());

    pfnInit(hModule);
    int nRequired = 0;
    pfnCompatible(7, 31, &nRequired);
    pfnCompatible(28, 31, &nRequired);
    INADriver* piDriver = pfnQuery();
    if (piDriver == nullptr) {
        std::fprintf(stderr, "zthost: piQueryInterface gave no driver\n");
        pfnTerm();
        return 1;
    }
    piDriver->bSetVMAndLibShop(static_cast<ILibShop*>(piHost->pService(SERVICE_LIBSHOP)), nullptr);
    piDriver->bSetKX(static_cast<IKXForNA*>(piHost->pKeyService()));
    pfnConv(hRuntime, 2, 2);
    pfnCalc(hRuntime, 2, 2);
    // This program reads the values the driver hands back with the same
    // machine, and gives their texts back to the runtime's allocator.
    bInitTQConvFromVM(hRuntime, 2, 2);
    CInformationModule::ms_piStrMemAlloc = static_cast<IStrMemAlloc*>(piHost->pService(SERVICE_STRING_ALLOCATOR));
    int nResult = 0;
    INADriverSQL* piSQL = static_cast<INADriverSQL*>(piDriver->piGetInterface(1));
    if (piSQL == nullptr) {
        std::fprintf(stderr, "zthost: the driver offers no SQL interface\n");
        nResult = 1;
    } else {
        int nConnection = 0;
        if (!stArguments.astrQuery.empty() && !piSQL->bOpenConnection(&nConnection, &clServer)) {
            nResult = SQLFailure(piSQL, "bOpenConnection");
        } else {
            const size_t nQueries = stArguments.astrQuery.size();
            for (size_t i = 0; i < nQueries && nResult == 0; ++i) {
                nResult = RunQuery(piSQL, nConnection, stArguments.astrQuery[i], stArguments.strModule.empty());
                if (nResult != 0)
                    ReportNotRun(nQueries - i - 1, stArguments.bBrowse);
            }
            // The queries' session ends first, with its table locks, its
            // temporary tables and the rows of a transaction left open: the
            // table object's session sees what the queries committed, and
            // waits on none of their locks.
            if (nConnection != 0)
                piSQL->bCloseConnection(nConnection);
            if (nResult == 0 && stArguments.bBrowse)
                nResult = RunBrowse(piDriver, &clServer, stArguments);
        }
        piSQL->nExternalRelease();
    }
    piDriver->nExternalRelease();
    pfnTerm();
    return nResult;
}

}  // namespace

int main(int argc, char** argv)
{
    STArguments stArguments;
    std::string strMistake;
    if (!bReadArguments(argc, argv, &stArguments, &strMistake)) {
        std::fprintf(stderr, "zthost: %s\nzthost --help lists the options\n", strMistake.c_str());
        return 2;
    }
    if (stArguments.bHelp) {
        std::fputs(UsageText(), stdout);
        return 0;
    }
    if (!bBrowseNamesWellFormed(stArguments))
        return 1;
    const std::string strModule =
        stArguments.strModule.empty() ? BesideExecutable("zt190msql.so") : stArguments.strModule;

    const std::string strRuntime = BesideExecutable(HOSTSTANDIN_LIBRARY);
    void* hRuntime = dlopen(strRuntime.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (hRuntime == nullptr) {
        std::fprintf(stderr, "zthost: cannot load the runtime: %s\n", dlerror());
        return 1;
    }
    void* hModule = dlopen(strModule.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (hModule == nullptr) {
        std::fprintf(stderr, "zthost: cannot load the module: %s\n", dlerror());
        return 1;
    }
    auto pfnExecution = reinterpret_cast<PFN_MODULE_EXECUTION>(dlsym(hModule, "Execution"));
    auto pfnCommande = reinterpret_cast<PFN_COMMANDECOMPOSANTE>(dlsym(hModule, "CommandeComposante"));
    auto pfnControl = reinterpret_cast<PFN_HOSTSTANDIN_CONTROL>(dlsym(hRuntime, HOSTSTANDIN_CONTROL_ENTRY));
    const bool bProtocol = pfnExecution != nullptr && pfnCommande != nullptr && pfnControl != nullptr;
    IHostStandIn* piHost = bProtocol ? pfnControl() : nullptr;
    STExecutionInit stInit = {sizeof(STExecutionInit), hRuntime, 0, 0,
                              piHost != nullptr ? piHost->pService(SERVICE_LIBSHOP) : nullptr};
    const bool bSQL = !stArguments.astrQuery.empty() || stArguments.bBrowse;
    if (!bSQL) {
        std::printf("module %s loaded (%u-bit)\n", strModule.c_str(), static_cast<unsigned>(sizeof(void*) * 8));
        int nFound = 0;
        for (const STEntry& entry : kEntries) {
            const bool bFound = dlsym(hModule, entry.pszSymbol) != nullptr;
            nFound += bFound;
            std::printf("  %-30s %s\n", entry.pszName, bFound ? "offered" : "not offered yet");
        }
        std::printf("%d of %zu entries offered\n", nFound, sizeof(kEntries) / sizeof(kEntries[0]));
    }
    int nResult = 0;
    if (!bProtocol) {
        std::fprintf(bSQL ? stderr : stdout,
                     "the module protocol cannot run: Execution or CommandeComposante missing\n");
        nResult = 1;
    } else if (bSQL) {
        std::setlocale(LC_CTYPE, "C.UTF-8");
        pfnExecution(EXECUTION_INIT, &stInit);
        pfnCommande(2, reinterpret_cast<void*>(piHost->pfnMessageLoader()));
        nResult = RunSQL(hModule, hRuntime, piHost, stArguments);
        pfnExecution(EXECUTION_TERM, nullptr);
        std::fflush(stdout);
    } else {
        std::printf("Execution(3985): %u\n", pfnExecution(EXECUTION_INIT, &stInit));
        std::printf("CommandeComposante(2): %d\n",
                    pfnCommande(2, reinterpret_cast<void*>(piHost->pfnMessageLoader())));
        PrintVersionBlock(hModule);
        if (stArguments.bMessage && !PrintMessage(pfnCommande, stArguments.nMessage))
            nResult = 1;
        if (!RunDriverStartUp(hModule))
            nResult = 1;
        std::printf("Execution(4875): %u\n", pfnExecution(EXECUTION_TERM, nullptr));
        std::printf("runtime told of the module's end: %d\n", piHost->nModuleEndCalls());
    }
    dlclose(hModule);
    dlclose(hRuntime);
    return nResult;
}
