// Host queries through the MySQL driver's table object on the private
// server: parsed by the host stand-in, rewritten or sent as written, browsed
// both ways, counted and read for their large values. Expected rows come
// from the server itself; the texts sent are those of the counting client.
#include "access/driver/INADataSourceDescription.h"
#include "access/statement/NAColumn.h"
#include "access/statement/NARecord.h"
#include "access/statement/NARecordCache.h"
#include "access/statement/NAStatement.h"
#include "access/table/NADataAccess.h"
#include "access/table/NATable.h"
#include "common/platform/MyModuleInfo.h"
#include "common/values/Any.h"
#include "host/HostContext.h"
#include "host/HostQueryParametersValue.h"
#include "host/parse/HostSQLParse.h"
#include "tests/support/DriverServer.h"
#include "tests/support/TempDir.h"
#include "tests/support/ValueCells.h"

#include <gtest/gtest.h>

#include <deque>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

namespace {

constexpr eNA_LOCKTYPE kNoLock = static_cast<eNA_LOCKTYPE>(0);

class HostQueryServer : public DriverServerTestOf<CMySQLDriver> {
protected:
    HostQueryServer()
        : DriverServerTestOf<CMySQLDriver>(
              "zt39q", {"CREATE TABLE t (id INT NOT NULL PRIMARY KEY, name VARCHAR(20) NULL, n INT NULL) "
                        "CHARACTER SET utf8mb4",
                        "CREATE TABLE u (k INT NOT NULL PRIMARY KEY, tid INT NULL)",
                        "CREATE TABLE m (id INT NOT NULL PRIMARY KEY, txt LONGTEXT NULL, bin LONGBLOB NULL) "
                        "CHARACTER SET utf8mb4"})
    {
    }
    void SetUp() override
    {
        ASSERT_NO_FATAL_FAILURE(DriverServerTestOf<CMySQLDriver>::SetUp());
        BindValueMachine();
        std::string strSQL = "INSERT INTO t VALUES ";
        for (int i = 1; i <= 30; i++)
            strSQL += (i > 1 ? "," : "") + std::string("(") + std::to_string(i * 7 % 31) + ",'n" +
                      std::to_string(i % 5) + "'," + std::to_string(i) + ")";
        ASSERT_TRUE(Admin(strSQL));
        ASSERT_TRUE(Admin("INSERT INTO u VALUES (1, 7), (2, 14)"));
    }
    void TearDown() override
    {
        for (INATable* pi : m_apTable) {
            for (CHostContext& ctx : m_tabContext)
                pi->bHFerme(&ctx);
            pi->nExternalRelease();
        }
        m_tabParse.clear();
        m_tabCatalogue.clear();
        EXPECT_EQ(m_clValues.m_nRef, 0u);
        DriverServerTestOf<CMySQLDriver>::TearDown();
    }
    // The catalogue of the connection's mode: the tables under their own names.
    CHostCatalogue* Catalogue(CHostConnectionDescription* pHost)
    {
        m_tabCatalogue.emplace_back(new CHostCatalogue);
        for (const wchar_t* psz : {L"t", L"u", L"m"}) {
            INADataSourceDescription* pi = m_piDriver->piGetTableDesc(psz, pHost);
            EXPECT_NE(pi, nullptr) << Report();
            if (pi != nullptr) {
                m_tabCatalogue.back()->Add(psz, psz, pi);
                pi->nExternalRelease();
            }
        }
        return m_tabCatalogue.back().get();
    }
    ISQLParserInformation* Parse(const std::wstring& strText, CHostCatalogue* pCatalogue)
    {
        std::wstring strError;
        m_tabParse.push_back(CHostSQLParse::pParse(strText.c_str(), pCatalogue, &m_clValues, &strError));
        EXPECT_NE(m_tabParse.back(), nullptr) << Narrow(strError.c_str());
        return m_tabParse.back().get();
    }
    // The query run by the driver's entry; its table object when kept.
    CNATable* Run(const std::wstring& strText, unsigned int nMode, int* pbResult = nullptr,
                  CHostConnectionDescription* pHost = nullptr)
    {
        if (pHost == nullptr)
            pHost = m_pHost;
        if (m_pCatalogue == nullptr)
            m_pCatalogue = Catalogue(pHost);
        ISQLParserInformation* pi = Parse(strText, m_pCatalogue);
        INATable* piTable = nullptr;
        const int b = m_piDriver->bHExecuteRequeteSQLEx(&piTable, Context(), L"Q", pHost, pi, nMode, nullptr);
        if (pbResult != nullptr)
            *pbResult = b;
        else
            EXPECT_EQ(b, 1) << Report();
        if (piTable != nullptr)
            m_apTable.push_back(piTable);
        return static_cast<CNATable*>(piTable);
    }
    CHostContext* Context()
    {
        if (m_tabContext.empty())
            m_tabContext.emplace_back(5, 1);
        return &m_tabContext.back();
    }
    CNADataAccess* Access(CNATable* p)
    {
        CNADataAccess* pAccess = p->_pclFindDataAccess(Context());
        if (pAccess != nullptr)
            pAccess->nRelease(); // the table keeps it
        return pAccess;
    }
    static std::string Value(CNADataAccess* p, const wchar_t* pszItem)
    {
        CNAColumn* pColumn = p->pclGetCurrentRecordNoRef()->pclGetColumnNoRef(pszItem);
        CAny v;
        if (pColumn == nullptr || !pColumn->bGetCurrentValue(&v, 0))
            return "(none)";
        if (v.bIsNull())
            return "NULL";
        const wchar_t* psz = nullptr;
        if (v.__nCastTo(TQTYPE_PSTRW, nullptr, 1) > 99 || v.pclGetTraitement()->nGetPCWSTR(&psz) > 99)
            return "(not text)";
        return UTF8Of(psz != nullptr ? psz : L"");
    }
    // The ids of a whole browse on the item, forwards or backwards.
    Rows Walk(CNATable* p, const wchar_t* pszItem, bool bForward, bool bFromFirstRead = false, unsigned int nFlags = 0)
    {
        CNADataAccess* pAccess = Access(p);
        Rows tab;
        if (!bFromFirstRead)
            EXPECT_EQ(pAccess->bHLitxxx(pszItem, bForward ? NA_PARSE_FIRST : NA_PARSE_LAST, 1, kNoLock, nullptr, nFlags),
                      1)
                << Report();
        int bOut = 0;
        while (pAccess->bHEndehors(pszItem, &bOut) && !bOut && tab.size() < 100) {
            tab.push_back(Value(pAccess, L"id"));
            EXPECT_EQ(pAccess->bHLitxxx(pszItem, bForward ? NA_PARSE_NEXT : NA_PARSE_PREVIOUS, 1, kNoLock, nullptr, nFlags),
                      1);
        }
        return tab;
    }
    static Rows Reversed(Rows tab) { return Rows(tab.rbegin(), tab.rend()); }
    std::string DataError(CNATable* p) { return Narrow(Access(p)->pclGetError()->pszGetError()); }

    CHostQueryParametersValue m_clValues;
    std::vector<std::unique_ptr<CHostCatalogue>> m_tabCatalogue;
    CHostCatalogue* m_pCatalogue = nullptr;
    std::vector<std::unique_ptr<CHostSQLParse>> m_tabParse;
    std::vector<INATable*> m_apTable;
    std::deque<CHostContext> m_tabContext;
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
