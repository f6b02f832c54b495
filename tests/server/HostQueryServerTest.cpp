// Host queries through the MySQL driver's table object on the private
// server: parsed by the host stand-in, rewritten or sent as written, browsed
// both ways, counted and read for their large values. Expected rows come
// from the server itself; the texts sent are those of the counting client.
#include "tests/support/HostQueryServer.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>

namespace {

class HostQueryServer : public HostQueryServerTest {
protected:
    HostQueryServer() : HostQueryServerTest("zt39q") {}
};

} // namespace

TEST_F(HostQueryServer, WithCorrectionOpenedAtOnceAndBrowsedBothWays)
{
    const Rows tabIds = List("SELECT id FROM t WHERE n > 3 ORDER BY id");
    CNATable* p = Run(L"SELECT id, name FROM t WHERE n > 3 ORDER BY id", 0);
    ASSERT_NE(p, nullptr) << "kept: it has a result";
    CNADataAccess* pAccess = Access(p);
    EXPECT_EQ(pAccess->bIsOpened(), 1);
    EXPECT_EQ(Value(pAccess, L"id"), tabIds.front()) << "the first record is read at once";
    EXPECT_EQ(pAccess->eGetQueryMode() & CNADataAccess::QM_JOIN, 0u);
    const std::wstring strItem = Wide(Narrow(pAccess->pclGetLastStatementNoRef()->pszGetParseItem()));
    EXPECT_EQ(Walk(p, strItem.c_str(), true, true), tabIds);
    EXPECT_EQ(Walk(p, strItem.c_str(), false), Reversed(tabIds));

    // A transaction end marks the started browse for a run again; one not
    // started is untouched; references balanced.
    CNAStatement* pLast = pAccess->pclGetLastStatementNoRef();
    CNAStatement* pIdle = pAccess->_pclInitStatement(L"idle");
    ASSERT_NE(pIdle, nullptr);
    const unsigned int nRefLast = pLast->nGetRef();
    const unsigned int nRefIdle = pIdle->nGetRef();
    p->SetTransactionTermined();
    EXPECT_EQ(pLast->eParseNeedUpdate(), CNAStatement::UPDATE_REEXECUTE);
    EXPECT_EQ(pIdle->eParseNeedUpdate(), CNAStatement::UPDATE_NONE);
    EXPECT_EQ(pLast->nGetRef(), nRefLast);
    EXPECT_EQ(pIdle->nGetRef(), nRefIdle);
    pIdle->nRelease();
    // The browse runs again from the server.
    EXPECT_EQ(Walk(p, strItem.c_str(), true), tabIds);
}

TEST_F(HostQueryServer, WithoutCorrectionSentAsWrittenWithATableCache)
{
    const std::wstring strText = L"SELECT id, name, n FROM t WHERE n <= 20";
    const Rows tabIds = List("SELECT id FROM t WHERE n <= 20 ORDER BY id");
    m_pCatalogue = Catalogue(m_pHost);
    Sent();
    CNATable* p = Run(strText, CNADataAccess::QM_WITHOUT_CORRECTION);
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(Sent(), std::vector<std::string>{UTF8Of(strText)}) << "the text as written, once";
    CNADataAccess* pAccess = Access(p);
    EXPECT_EQ(pAccess->bHasTableCache(), 1);
    EXPECT_EQ(pAccess->bIsQueryParsePending(), 1);
    CNAStatement* pLast = pAccess->pclGetLastStatementNoRef();
    ASSERT_NE(pLast, nullptr);
    EXPECT_EQ(Narrow(pLast->pszGetParseItem()), Narrow(pAccess->pszGetBestParseItemName()))
        << "renamed to the best browse item";

    // Counts come from the full cache, never from a COUNT; no count asked
    // gives 0.
    const std::string strServerCount = First("SELECT COUNT(*) FROM t WHERE n <= 20");
    long long llCount = -1;
    EXPECT_EQ(pAccess->bHNbEnr(&llCount, 0x10, 0), 1) << DataError(p);
    EXPECT_EQ(std::to_string(llCount), strServerCount);
    for (const std::string& s : Sent())
        EXPECT_EQ(s.find("COUNT"), std::string::npos) << s;
    EXPECT_EQ(pAccess->bHNbEnr(&llCount, 0, 0), 1);
    EXPECT_EQ(llCount, 0);
    for (const std::string& s : Sent())
        EXPECT_EQ(s.find("COUNT"), std::string::npos) << s;
}

TEST_F(HostQueryServer, CountsOfAQueryWithCorrection)
{
    CNATable* p = Run(L"SELECT id, name FROM t WHERE n > 10 ORDER BY id", 0);
    ASSERT_NE(p, nullptr);
    CNADataAccess* pAccess = Access(p);
    long long llCount = -1;
    EXPECT_EQ(pAccess->bHNbEnr(&llCount, 0x10, 0), 1) << DataError(p);
    EXPECT_EQ(std::to_string(llCount), First("SELECT COUNT(*) FROM t WHERE n > 10"));
    Sent();
    EXPECT_EQ(pAccess->bHNbEnr(&llCount, 0x4, 0), 1);
    EXPECT_EQ(llCount, 0);
    EXPECT_TRUE(Sent().empty()) << "no count asked, nothing sent";
}

TEST_F(HostQueryServer, AnUpdateChangesRowsAndHasNoResult)
{
    const Rows tabBefore = List("SELECT n FROM t WHERE id < 5 ORDER BY id");
    int bResult = 0;
    CNATable* p = Run(L"UPDATE t SET n = n + 100 WHERE id < 5", CNADataAccess::QM_MAY_MODIFY, &bResult);
    EXPECT_EQ(bResult, 1) << Report();
    EXPECT_EQ(p, nullptr) << "no result: not kept";
    const Rows tabAfter = List("SELECT n - 100 FROM t WHERE id < 5 ORDER BY id");
    EXPECT_EQ(tabAfter, tabBefore);
}

TEST_F(HostQueryServer, AJoinIsMarkedOnlyWithCorrection)
{
    const std::wstring strText = L"SELECT t.id, u.k FROM t JOIN u ON u.tid = t.id ORDER BY t.id";
    for (const unsigned int nMode : {0u, static_cast<unsigned int>(CNADataAccess::QM_WITHOUT_CORRECTION)}) {
        SCOPED_TRACE(nMode);
        CNATable* p = Run(strText, nMode);
        ASSERT_NE(p, nullptr);
        EXPECT_EQ((Access(p)->eGetQueryMode() & CNADataAccess::QM_JOIN) != 0, nMode == 0);
    }
}

TEST_F(HostQueryServer, TextOutsideThe1252CodePageIsRefusedBeforeSending)
{
    CHostConnectionDescription* pHost = HostOn(L"ZT Unicode Support=0", L"zt1252");
    m_pCatalogue = Catalogue(pHost);
    // Opened first: the refusal must send nothing at all.
    CNATable* pFirst = Run(L"SELECT id FROM t", CNADataAccess::QM_WITHOUT_CORRECTION, nullptr, pHost);
    ASSERT_NE(pFirst, nullptr);
    Sent();
    int bResult = 1;
    CNATable* p = Run(L"SELECT id FROM t WHERE name = 'Ω'", CNADataAccess::QM_WITHOUT_CORRECTION, &bResult, pHost);
    EXPECT_EQ(bResult, 0);
    EXPECT_EQ(p, nullptr);
    EXPECT_EQ(Code(), static_cast<unsigned int>(ZTERR_CODE_PAGE)) << Report();
    EXPECT_NE(Report().find("IEDUZARO=3.26"), std::string::npos) << Report();
    EXPECT_NE(Report().find("FROM t WHERE name = '"), std::string::npos) << "the query text is in the report";
    EXPECT_TRUE(Sent().empty());
}

TEST_F(HostQueryServer, LargeValuesReadBackAndExtracted)
{
    // 1 MB of text beyond ASCII and the 256 byte values.
    std::wstring strText;
    while (strText.size() < (1u << 20))
        strText += L"été Ω 0123456789 ";
    const std::string strBytes = AllBytes();
    ASSERT_TRUE(Admin("INSERT INTO m VALUES (1, CONVERT(X'" + HexaOf(UTF8Of(strText)) + "' USING utf8mb4), X'" +
                      HexaOf(strBytes) + "')"));
    CNATable* p = Run(L"SELECT id, txt, bin FROM m", 0);
    ASSERT_NE(p, nullptr);
    CNADataAccess* pAccess = Access(p);
    INADataSourceDescription* piDescription = pAccess->piGetDataSourceDescriptionNoRef();
    ASSERT_EQ(piDescription->nGetNumMemos(), 2u);
    CAny v;
    ASSERT_EQ(pAccess->bGetBLOB(0, &v), 1) << DataError(p);
    const wchar_t* psz = nullptr;
    ASSERT_LE(v.__nCastTo(TQTYPE_PSTRW, nullptr, 1), 99);
    v.pclGetTraitement()->nGetPCWSTR(&psz);
    EXPECT_TRUE(psz != nullptr && std::wstring(psz) == strText) << "the text read back equal";
    CTempDir dir;
    const std::string strFile = dir.Path() + "/bin";
    ASSERT_EQ(pAccess->bExtraitMemo(1, Wide(strFile).c_str()), 1) << DataError(p);
    std::ifstream in(strFile, std::ios::binary);
    const std::string strRead((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(HexaOf(strRead), HexaOf(strBytes)) << "exactly the bytes";
    // An unknown memo changes nothing.
    EXPECT_EQ(pAccess->bSetBLOB(2, &v), 0);
    EXPECT_EQ(pAccess->bExtraitMemo(9, Wide(strFile).c_str()), 0);
}
