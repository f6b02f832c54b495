// The road of server values into host values against the private server:
// every column type at its limits, NULL and empty, texts outside ASCII, in
// both code-page modes and both result modes. The statement's host values
// (which reuse the block of the value before) equal what a fresh cell of
// the same type gives, copies a host keeps never change, numbers read into
// cells of their item types equal the host's cast of the server's text,
// and a row of numbers, dates and decimals costs no host block once the
// first rows are read.
#include "mysql/MySQLStatementSQL.h"

#include "access/driver/NAError.h"
#include "access/statement/NAColumn.h"
#include "common/text/XYString.h"
#include "common/values/Any.h"
#include "common/values/ItemType.h"
#include "host/HostConnectionDescription.h"
#include "mysql/MySQLConnection.h"
#include "tests/support/ServerDriver.h"
#include "tests/support/ValueCells.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace {

class ServerValuePath : public ServerTest {
protected:
    ServerValuePath() : ServerTest("zt_values") {}
    void SetUp() override
    {
        ASSERT_NO_FATAL_FAILURE(ServerTest::SetUp());
        m_pError = new CNAError;
        m_pError->AddRef();
    }
    void TearDown() override
    {
        for (CMySQLConnection* p : m_tabConnections)
            p->nRelease();
        if (m_pError != nullptr)
            m_pError->nRelease();
        ServerTest::TearDown();
    }
    // An open connection in UTF-8 (65001) or 1252.
    CMySQLConnection* Open(bool bUnicode)
    {
        CMySQLConnection* pcl = new CMySQLConnection(L"values", Host(bUnicode ? L"" : L"ZT Unicode Support=0;"));
        pcl->AddRef();
        m_tabConnections.push_back(pcl);
        EXPECT_EQ(pcl->bOpen(m_pError), 1) << m_pError->pszGetError();
        return pcl;
    }

    CNAError* m_pError = nullptr;
    std::vector<CMySQLConnection*> m_tabConnections;
};

struct StmtRelease {
    void operator()(CMySQLStatementSQL* p) const { p->nRelease(); }
};
typedef std::unique_ptr<CMySQLStatementSQL, StmtRelease> StmtPtr;

StmtPtr Statement(CMySQLConnection* pclConnection, CNAError* pError, bool bStore)
{
    CMySQLStatementSQL* p = new CMySQLStatementSQL(pclConnection, pError);
    p->AddRef();
    p->SetStoreResult(bStore);
    return StmtPtr(p);
}

// The value as the cell of the statement's type gives it: type word and text.
std::wstring Seen(const CAny& v)
{
    return std::to_wstring(v.nGetType()) + L":" + (v.bIsNull() ? L"(null)" : TextW(v));
}

bool bNumberItem(eNA_ITEMTYPE e)
{
    switch (e) {
    case NA_IT_I1: case NA_IT_I2: case NA_IT_I4: case NA_IT_I8: case NA_IT_UI1: case NA_IT_UI2:
    case NA_IT_UI4: case NA_IT_UI8: case NA_IT_R4: case NA_IT_R8:
        return true;
    default:
        return false;
    }
}

} // namespace

TEST_F(ServerValuePath, EveryColumnTypeAtItsLimitsAsAFreshCellReadsIt)
{
    Admin("CREATE TABLE t (id INT PRIMARY KEY, ti TINYINT, tu TINYINT UNSIGNED, si SMALLINT, su SMALLINT UNSIGNED, "
          "mi MEDIUMINT, i INT, iu INT UNSIGNED, bi BIGINT, bu BIGINT UNSIGNED, f FLOAT, d DOUBLE, "
          "dm DECIMAL(65,30), dc DECIMAL(10,3), dt DATE, dtt DATETIME(6), ts TIMESTAMP NULL, tm TIME, y YEAR, "
          "c CHAR(10), v VARCHAR(300), tx TEXT, bl BLOB, vb VARBINARY(20), bn BINARY(4), bt BIT(8), "
          "e ENUM('a','\xC3\xA9'), st SET('x','y'))");
    std::string sBytes;
    for (int b = 0x20; b < 256; b++)
        if (b != '\'' && b != '\\')
            sBytes += static_cast<char>(b);
    Admin("INSERT INTO t VALUES (1, -128, 0, -32768, 0, -8388608, -2147483648, 0, -9223372036854775808, 0, "
          "-3.40282e38, -1.7976931348623157e308, -99999999999999999999999999999999999.999999999999999999999999999999, "
          "-9999999.999, '1000-01-01', '1000-01-01 00:00:00', '1970-01-01 00:00:01', '-838:59:59', 1901, "
          "'', '', '', '', '', X'00000000', b'0', 'a', '')");
    Admin("INSERT INTO t VALUES (2, 127, 255, 32767, 65535, 8388607, 2147483647, 4294967295, 9223372036854775807, "
          "18446744073709551615, 3.40282e38, 1.7976931348623157e308, "
          "99999999999999999999999999999999999.999999999999999999999999999999, 9999999.999, '9999-12-31', "
          "'9999-12-31 23:59:59.999999', '2038-01-19 03:14:07', '838:59:59', 2155, "
          "'\xC3\xA9\xE2\x82\xAC\xCE\xA9\xE4\xB8\xAD\xF0\x9F\x98\x80', "
          "CONVERT(X'" + HexaOf(sBytes) + "' USING latin1), REPEAT('\xE4\xB8\xAD', 200), X'FF00FF', X'80', X'FFFFFFFF', b'11111111', "
          "'\xC3\xA9', 'x,y')");
    Admin("INSERT INTO t (id) VALUES (3)");
    Admin("INSERT INTO t VALUES (4, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, '2024-02-29', '2024-02-29 13:45:07.5', "
          "'2024-02-29 13:45:07', '00:00:00', 2024, ' ', 'x', 'y', '', '', X'01020304', b'1', 'a', 'y')");

    for (bool bUnicode : {true, false}) {
        CMySQLConnection* pCnx = Open(bUnicode);
        for (bool bStore : {true, false}) {
            SCOPED_TRACE(testing::Message() << (bUnicode ? "UTF-8" : "1252") << (bStore ? ", store" : ", use"));
            CNoLeak check;
            StmtPtr stmt = Statement(pCnx, m_pError, bStore);
            ASSERT_EQ(stmt->bExecuteDirect("SELECT * FROM t ORDER BY id", 0), 1) << m_pError->pszGetError();
            unsigned int nColumns = 0;
            stmt->bGetColumnNbr(&nColumns, 0);
            ASSERT_EQ(nColumns, 28u);
            CAny v, kept;
            for (int nRow = 1;; nRow++) {
                ASSERT_EQ(stmt->bFetch(0), 1);
                if (stmt->bEndOfData())
                    break;
                std::wstring sRow;
                for (unsigned int i = 0; i < nColumns; i++) {
                    SCOPED_TRACE(testing::Message() << "row " << nRow << ", column " << i);
                    CCell ref(m_pError, pCnx);
                    ref.InitTypeVariantAny(TQTYPE_DSTRW, 0);
                    ASSERT_EQ(stmt->CMySQLStatementSQL::bGetValue(&ref, i, 0), 1);
                    CAny r;
                    ASSERT_EQ(ref.bGetValue(&r), 1);
                    // The value before is kept by the host: it must not change.
                    const std::wstring sKept = Seen(kept);
                    ASSERT_EQ(stmt->bGetValue(&v, i, 0), 1);
                    EXPECT_EQ(Seen(v), Seen(r));
                    EXPECT_EQ(Seen(kept), sKept);
                    kept.__SetType(TQTYPE_VIDE, 0);
                    v.pclGetTraitement()->Duplique(&kept);
                    if (i > 0)
                        sRow += L"|";
                    if (!r.bIsNull())
                        sRow += TextW(r);

                    // A number into a cell of its item type: the host's cast of the text.
                    CNAColumnSQL* pclColumn = stmt->pclGetNAColumnSQL(static_cast<int>(i));
                    ASSERT_NE(pclColumn, nullptr);
                    if (!bNumberItem(pclColumn->m_eItemType))
                        continue;
                    const unsigned short nType = static_cast<unsigned short>(
                        ConverteItemToTQType(pclColumn->m_eItemType, static_cast<int>(pclColumn->m_nSize)));
                    unsigned char* pRaw = nullptr;
                    unsigned int nRaw = 0;
                    ASSERT_EQ(stmt->bGetValue(&pRaw, &nRaw, i), 1);
                    CCell typed(m_pError, pCnx);
                    typed.InitTypeVariantAny(nType, 0);
                    m_pError->Reset();
                    const int bResult = stmt->CMySQLStatementSQL::bGetValue(&typed, i, 0);
                    if (pRaw == nullptr) {
                        EXPECT_EQ(bResult, 1);
                        EXPECT_TRUE(typed.pclGetValue()->bIsNull());
                        continue;
                    }
                    // A BIT column's text is the number it holds, as the server writes it.
                    const std::string strText =
                        pclColumn->m_nDBType == 16 ? First("SELECT bt+0 FROM t WHERE id = " + std::to_string(nRow))
                                                   : std::string(reinterpret_cast<const char*>(pRaw), nRaw);
                    CXYString<wchar_t> w;
                    ASSERT_EQ(w.__nConversion(strText.data(), static_cast<int>(strText.size()), 0,
                                              bUnicode ? 65001 : 1252, 0, nullptr),
                              0);
                    unsigned char aby[CAny::VALEUR_SIZE] = {};
                    const int nStatus = CAny::__s_nCastTo(aby, w.pszGet(), nType, nullptr);
                    EXPECT_EQ(bResult, nStatus <= 99 ? 1 : 0) << "status " << nStatus;
                    if (nStatus <= 99)
                        EXPECT_EQ(DataBytes(*typed.pclGetValue()), Bytes(aby, aby + tqTabSizeType[nType]));
                    else
                        EXPECT_EQ(m_pError->dwGetErrorId(), 53u);
                }
                // The whole row as one text.
                CAny row;
                ASSERT_EQ(stmt->bGetRow(&row, L"|", 0, 0), 1);
                EXPECT_EQ(TextW(row), sRow);
                EXPECT_EQ(row.nGetType(), TQTYPE_PSTRW);
            }
            stmt->bReset();
        }
    }
}

TEST_F(ServerValuePath, ARowOfNumbersDatesAndDecimalsCostsNoHostBlock)
{
    Admin("CREATE TABLE n (i INT, b BIGINT, d DOUBLE, dt DATETIME, dc DECIMAL(12,2))");
    Admin("INSERT INTO n SELECT seq, seq * 1000003, seq / 7, '2024-01-01' + INTERVAL seq SECOND, seq / 100 "
          "FROM seq_1_to_60");
    for (bool bUnicode : {true, false}) {
        CMySQLConnection* pCnx = Open(bUnicode);
        StmtPtr stmt = Statement(pCnx, m_pError, true);
        ASSERT_EQ(stmt->bExecuteDirect("SELECT i, b, d, dt, dc FROM n ORDER BY i", 0), 1);
        CAny values[5];
        CAny row;
        for (int nRow = 1; nRow <= 60; nRow++) {
            ASSERT_EQ(stmt->bFetch(0), 1);
            ASSERT_FALSE(stmt->bEndOfData());
            const long long nBefore = TestHost().nAllocations();
            for (unsigned int i = 0; i < 5; i++)
                ASSERT_EQ(stmt->bGetValue(&values[i], i, 0), 1);
            const long long nValues = TestHost().nAllocations() - nBefore;
            ASSERT_EQ(stmt->bGetRow(&row, L"\t", 0, 0), 1);
            const long long nRowText = TestHost().nAllocations() - nBefore - nValues;
            EXPECT_EQ(TextW(values[0]), std::to_wstring(nRow));
            // The first rows make the blocks; the others write into them.
            if (nRow > 2) {
                EXPECT_EQ(nValues, 0) << (bUnicode ? "UTF-8" : "1252") << ", row " << nRow;
                EXPECT_EQ(nRowText, 0) << (bUnicode ? "UTF-8" : "1252") << ", row " << nRow;
            }
        }
        stmt->bReset();
    }
}
