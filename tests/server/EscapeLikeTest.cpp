// LIKE patterns built by the escaping functions, checked by the server
// itself: each pattern, put between quotes in a query, must find the text it
// was made from and no other, whatever quotes, backslashes and wildcards the
// texts hold.
#include "common/text/Escape.h"
#include "tests/support/TestServer.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <string>
#include <vector>

namespace {

typedef void* (*PFN_INIT)(void*);
typedef void* (*PFN_REAL_CONNECT)(void*, const char*, const char*, const char*, const char*, unsigned,
                                  const char*, unsigned long);
typedef int (*PFN_REAL_QUERY)(void*, const char*, unsigned long);
typedef void* (*PFN_STORE_RESULT)(void*);
typedef char** (*PFN_FETCH_ROW)(void*);
typedef void (*PFN_FREE_RESULT)(void*);
typedef void (*PFN_CLOSE)(void*);
typedef const char* (*PFN_ERROR)(void*);

template <typename T>
T Resolve(void* hLib, const char* pszName)
{
    return reinterpret_cast<T>(dlsym(hLib, pszName));
}

// Texts with every character that a literal or a pattern treats specially,
// alone, together, and next to near-misses that a badly escaped pattern
// would also find.
const char* const kTextes[] = {
    "'",      "''",     "\"",    "\\",     "\\\\",   "%",      "_",       "%%",     "__",      "a'b",
    "a''b",   "a\"b",   "a\\b",  "a\\\\b", "a%b",    "a_b",    "aXb",     "ab",     "a",       "a\\",
    "\\'",    "'\\",    "\\%",   "\\_",    "%\\",    "_'",     "'%_\"\\", "!",      "!%",      "!!",
    "a!b",    "a!%b",   "a!_b",  "#",      "#%",     "x\\'y",  "x'y",     "xy",     "x\\y",    "it's 50%",
    "it's 50", "its 50%", "\\n",  "n",      "\\%a",   "%a",     "\\\\%",   "\\\\_",  "''''",    "\\''\\",
};

class CServeur {
public:
    bool bOuvre(std::string& strErreur)
    {
        CTestServer server;
        if (!CTestServer::bGet(server, strErreur))
            return false;
        m_hLib = dlopen("libmysqlclient.so", RTLD_NOW | RTLD_LOCAL);
        if (m_hLib == nullptr) {
            strErreur = dlerror();
            return false;
        }
        auto pfnInit = Resolve<PFN_INIT>(m_hLib, "mysql_init");
        auto pfnConnect = Resolve<PFN_REAL_CONNECT>(m_hLib, "mysql_real_connect");
        m_pfnQuery = Resolve<PFN_REAL_QUERY>(m_hLib, "mysql_real_query");
        m_pfnStore = Resolve<PFN_STORE_RESULT>(m_hLib, "mysql_store_result");
        m_pfnFetch = Resolve<PFN_FETCH_ROW>(m_hLib, "mysql_fetch_row");
        m_pfnFree = Resolve<PFN_FREE_RESULT>(m_hLib, "mysql_free_result");
        m_pfnClose = Resolve<PFN_CLOSE>(m_hLib, "mysql_close");
        m_pfnError = Resolve<PFN_ERROR>(m_hLib, "mysql_error");
        if (!(pfnInit && pfnConnect && m_pfnQuery && m_pfnStore && m_pfnFetch && m_pfnFree && m_pfnClose &&
              m_pfnError)) {
            strErreur = "client library entries missing";
            return false;
        }
        m_pConnexion = pfnInit(nullptr);
        if (m_pConnexion == nullptr) {
            strErreur = "mysql_init failed";
            return false;
        }
        if (pfnConnect(m_pConnexion, server.strHost.c_str(), server.strUser.c_str(), server.strPassword.c_str(),
                       server.strDatabase.c_str(), server.nPort, nullptr, 0) != m_pConnexion) {
            strErreur = m_pfnError(m_pConnexion);
            return false;
        }
        return true;
    }

    ~CServeur()
    {
        if (m_pConnexion != nullptr)
            m_pfnClose(m_pConnexion);
        if (m_hLib != nullptr)
            dlclose(m_hLib);
    }

    bool bExecute(const std::string& strSQL, std::string& strErreur)
    {
        if (m_pfnQuery(m_pConnexion, strSQL.c_str(), strSQL.size()) != 0) {
            strErreur = std::string(m_pfnError(m_pConnexion)) + " in " + strSQL;
            return false;
        }
        void* pResultat = m_pfnStore(m_pConnexion);
        if (pResultat != nullptr)
            m_pfnFree(pResultat);
        return true;
    }

    // The first column of every row, or false with the error.
    bool bListe(const std::string& strSQL, std::vector<std::string>& tabLignes, std::string& strErreur)
    {
        tabLignes.clear();
        if (m_pfnQuery(m_pConnexion, strSQL.c_str(), strSQL.size()) != 0) {
            strErreur = std::string(m_pfnError(m_pConnexion)) + " in " + strSQL;
            return false;
        }
        void* pResultat = m_pfnStore(m_pConnexion);
        if (pResultat == nullptr) {
            strErreur = std::string("no result for ") + strSQL;
            return false;
        }
        while (char** row = m_pfnFetch(pResultat))
            tabLignes.push_back(row[0] != nullptr ? row[0] : "NULL");
        m_pfnFree(pResultat);
        return true;
    }

private:
    void* m_hLib = nullptr;
    void* m_pConnexion = nullptr;
    PFN_REAL_QUERY m_pfnQuery = nullptr;
    PFN_STORE_RESULT m_pfnStore = nullptr;
    PFN_FETCH_ROW m_pfnFetch = nullptr;
    PFN_FREE_RESULT m_pfnFree = nullptr;
    PFN_CLOSE m_pfnClose = nullptr;
    PFN_ERROR m_pfnError = nullptr;
};

std::string Hex(const char* psz)
{
    std::string s;
    char sz[3];
    for (const char* p = psz; *p != 0; ++p) {
        std::snprintf(sz, sizeof(sz), "%02X", static_cast<unsigned char>(*p));
        s += sz;
    }
    return s;
}

// A temporary table of the texts, row i holding kTextes[i]; binary
// collation, so that only exact characters match.
void CreeTable(CServeur& serveur)
{
    std::string strErreur;
    ASSERT_TRUE(serveur.bExecute("CREATE TEMPORARY TABLE esc_like (id INT PRIMARY KEY, "
                                 "txt VARCHAR(64) CHARACTER SET utf8mb4 COLLATE utf8mb4_bin)",
                                 strErreur))
        << strErreur;
    std::string strInsert = "INSERT INTO esc_like VALUES ";
    for (std::size_t i = 0; i < sizeof(kTextes) / sizeof(kTextes[0]); ++i)
        strInsert += (i ? ",(" : "(") + std::to_string(i) + ",X'" + Hex(kTextes[i]) + "')";
    ASSERT_TRUE(serveur.bExecute(strInsert, strErreur)) << strErreur;
    std::vector<std::string> tab;
    ASSERT_TRUE(serveur.bListe("SELECT COUNT(DISTINCT txt) FROM esc_like", tab, strErreur)) << strErreur;
    ASSERT_EQ(tab, std::vector<std::string>{std::to_string(sizeof(kTextes) / sizeof(kTextes[0]))});
}

// The ids that LIKE '<pattern>' ESCAPE '<cEscape>' finds.
std::vector<std::string> Trouve(CServeur& serveur, const std::string& strMotif, char cEscape)
{
    const std::string strEscape = cEscape == '\\' ? "\\\\" : std::string(1, cEscape);
    const std::string strSQL =
        "SELECT id FROM esc_like WHERE txt LIKE '" + strMotif + "' ESCAPE '" + strEscape + "' ORDER BY id";
    std::vector<std::string> tab;
    std::string strErreur;
    EXPECT_TRUE(serveur.bListe(strSQL, tab, strErreur)) << strErreur;
    return tab;
}

// The text as a pattern in the caller's syntax: quotes doubled as in SQL,
// the escape character and the wildcards escaped.
std::string MotifHote(const char* psz, char cEscape)
{
    std::string s;
    for (const char* p = psz; *p != 0; ++p) {
        if (*p == '\'')
            s += '\'';
        else if (*p == cEscape || *p == '%' || *p == '_')
            s += cEscape;
        s += *p;
    }
    return s;
}

}  // namespace

TEST(EscapeLike, EscapeWithEverySwitchFindsOnlyItsText)
{
    CServeur serveur;
    std::string strErreur;
    ASSERT_TRUE(serveur.bOuvre(strErreur)) << strErreur;
    ASSERT_NO_FATAL_FAILURE(CreeTable(serveur));

    for (char cEscape : {'!', '#', '\\'}) {
        for (std::size_t i = 0; i < sizeof(kTextes) / sizeof(kTextes[0]); ++i) {
            const char* pszTexte = kTextes[i];
            // With the backslash as escape character, the doubled backslash
            // is the pattern's escape and MySQL's at once: texts holding a
            // backslash cannot be told apart through a literal.
            if (cEscape == '\\' && std::strchr(pszTexte, '\\') != nullptr)
                continue;
            std::vector<char> motif(2 * std::strlen(pszTexte) + 1);
            Escape(pszTexte, motif.data(), 1, 1, 1, 1, 1, 1, 1, 1, '\'', cEscape);
            EXPECT_EQ(Trouve(serveur, motif.data(), cEscape), std::vector<std::string>{std::to_string(i)})
                << "text " << pszTexte << " pattern " << motif.data() << " escape " << cEscape;
        }
    }
}

TEST(EscapeLike, VerrueEscapeMySQLFindsOnlyItsText)
{
    CServeur serveur;
    std::string strErreur;
    ASSERT_TRUE(serveur.bOuvre(strErreur)) << strErreur;
    ASSERT_NO_FATAL_FAILURE(CreeTable(serveur));

    for (char cEscape : {'!', '#', '\\'}) {
        for (std::size_t i = 0; i < sizeof(kTextes) / sizeof(kTextes[0]); ++i) {
            const char* pszTexte = kTextes[i];
            if (cEscape == '\\' && std::strchr(pszTexte, '\\') != nullptr)
                continue;
            // A pattern of exactly two quotes is taken as it stands.
            if (std::strcmp(pszTexte, "'") == 0)
                continue;
            const std::string strHote = MotifHote(pszTexte, cEscape);
            char* pszMotif = pszVerrueEscapeMySQL(strHote.c_str(), static_cast<wchar_t>(cEscape));
            ASSERT_NE(pszMotif, nullptr);
            EXPECT_EQ(Trouve(serveur, pszMotif, cEscape), std::vector<std::string>{std::to_string(i)})
                << "text " << pszTexte << " pattern " << strHote << " gave " << pszMotif << " escape " << cEscape;
            std::free(pszMotif);
        }
    }
    // The two-quote pattern: two quotes.
    char* pszMotif = pszVerrueEscapeMySQL("''", L'!');
    ASSERT_NE(pszMotif, nullptr);
    EXPECT_EQ(Trouve(serveur, pszMotif, '!'), std::vector<std::string>{"1"});
    std::free(pszMotif);
}
