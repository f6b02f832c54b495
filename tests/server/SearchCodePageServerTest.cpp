// Searches on texts outside ASCII on the private server, on a connection
// in UTF-8 and on one in code page 1252: the record found is the server's
// for the same condition, and a value the code page cannot carry is
// refused.
#include "common/platform/MyModuleInfo.h"
#include "tests/support/TableObjectServer.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using namespace tableobject;

class SearchCodePage : public TableObjectServer {
protected:
    SearchCodePage()
        : TableObjectServer("zt41cp",
                            {"CREATE TABLE v (id INT PRIMARY KEY, label VARCHAR(20) NOT NULL, KEY(label)) "
                             "CHARACTER SET utf8mb4",
                             // été, Über, abc, élan, Ωmega, ?mega, Zoë
                             "INSERT INTO v VALUES (1, _utf8mb4 X'C3A974C3A9'), (2, _utf8mb4 X'C39C626572'), "
                             "(3, 'abc'), (4, _utf8mb4 X'C3A96C616E'), (5, _utf8mb4 X'CEA96D656761'), "
                             "(6, '?mega'), (7, _utf8mb4 X'5A6FC3AB')"})
    {
    }
    // The label as the server writes it in a condition.
    static std::string Literal(const std::wstring& s) { return "_utf8mb4 X'" + HexaOf(UTF8Of(s.c_str())) + "'"; }
};

TEST_F(SearchCodePage, ExactAndGenericInBothCodePages)
{
    struct SMode {
        const char* pszName;
        const wchar_t* pszOptions;
    };
    const SMode aMode[] = {{"UTF-8", L""}, {"1252", L"ZT Unicode Support=0"}};
    struct SCase {
        const wchar_t* pszValue;
        int bExact;
        int bFirst;
    };
    const SCase aCase[] = {
        {L"\u00e9t\u00e9", 1, 1}, {L"\u00dcber", 1, 1}, {L"\u00e9lan", 1, 0}, {L"Zo\u00eb", 1, 1},
        {L"\u00e9", 0, 1},        {L"\u00e9", 0, 0},    {L"\u00dc", 0, 1},
    };
    unsigned int nContext = 1;
    for (const SMode& m : aMode) {
        SCOPED_TRACE(m.pszName);
        CHostContext* pContext = Context(nContext, nContext);
        nContext++;
        INATable* pi = Open(L"v", pContext, HostOn(m.pszOptions, m.pszOptions[0] != 0 ? L"zt1252" : L"ztutf8"));
        ASSERT_NE(pi, nullptr);
        for (const SCase& c : aCase) {
            SCOPED_TRACE(UTF8Of(c.pszValue));
            const CHostText v(c.pszValue);
            ASSERT_EQ(pi->bHRecherche(pContext, L"label", &v, c.bExact, 0, kNoLock, nullptr, c.bFirst, 0), 1)
                << Error(pi, pContext);
            EXPECT_EQ(Found(pi, pContext, L"label"), 1);
            const std::string strWhere =
                c.bExact ? "label = " + Literal(c.pszValue)
                         : "label LIKE CONCAT(" + Literal(c.pszValue) + ", '%')";
            EXPECT_EQ(Value(pi, pContext, L"id"),
                      First("SELECT id FROM v WHERE " + strWhere + " ORDER BY label " +
                            (c.bFirst ? "" : "DESC") + ", id " + (c.bFirst ? "" : "DESC") + " LIMIT 1"));
        }
    }
}

// A value outside code page 1252 cannot be sent on a 1252 connection: the
// search is refused before anything is sent, and never finds the record
// that holds the value's stand-in characters.
TEST_F(SearchCodePage, AValueTheCodePageCannotCarry)
{
    const CHostText v(L"\u03a9mega");
    CHostContext* pUnicode = Context(1, 1);
    INATable* piUnicode = Open(L"v", pUnicode, HostOn(L"", L"ztutf8"));
    ASSERT_NE(piUnicode, nullptr);
    ASSERT_EQ(piUnicode->bHRecherche(pUnicode, L"label", &v, 1, 0, kNoLock, nullptr, 1, 0), 1)
        << Error(piUnicode, pUnicode);
    EXPECT_EQ(Found(piUnicode, pUnicode, L"label"), 1);
    EXPECT_EQ(Value(piUnicode, pUnicode, L"id"), First("SELECT id FROM v WHERE label = " + Literal(L"\u03a9mega")));

    Sent();
    CHostContext* p1252 = Context(2, 2);
    INATable* pi1252 = Open(L"v", p1252, HostOn(L"ZT Unicode Support=0", L"zt1252"));
    ASSERT_NE(pi1252, nullptr);
    const int bResult = pi1252->bHRecherche(p1252, L"label", &v, 1, 0, kNoLock, nullptr, 1, 0);
    EXPECT_EQ(bResult, 0);
    EXPECT_EQ(ErrorOf(pi1252, p1252)->nGetUserErrorCode(), static_cast<unsigned int>(ZTERR_CODE_PAGE))
        << Error(pi1252, p1252);
    for (const std::string& s : Sent())
        EXPECT_EQ(s.find("?mega"), std::string::npos) << s;
}

} // namespace
