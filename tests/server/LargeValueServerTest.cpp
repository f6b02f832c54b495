// Memo items of a megabyte written through the data access on the private
// server: set as host values (bSetBLOB) or attached as files
// (bHAttacheMemo), added or modified, and read back by a plain client as
// the server holds them: a text beyond ASCII and every byte value.
#include "access/statement/NARecord.h"
#include "common/platform/MyModuleInfo.h"
#include "tests/support/StatementServer.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>

namespace {

constexpr eNA_LOCKTYPE kNoLock = static_cast<eNA_LOCKTYPE>(0);
constexpr size_t kMegabyte = 1u << 20;

class LargeValueServer : public StatementServerTest {
protected:
    LargeValueServer() : StatementServerTest("zt39m") {}
    // r: a key, a text memo and a binary memo, as the host and the server
    // describe them.
    CTestDataAccess* Memos()
    {
        EXPECT_TRUE(Admin("CREATE TABLE r (id INT NOT NULL PRIMARY KEY, m LONGTEXT NULL, mb LONGBLOB NULL) "
                          "CHARACTER SET utf8mb4"));
        CMySQLConnection* pCnx = Connect();
        STable* pTable = NewTable(pCnx, L"r");
        Both(pTable, L"id", NA_IT_I4, 4, CTestTable::UNIQUE | CNAItemDescription::KF_PRIMARY, false);
        Both(pTable, L"m", NA_IT_MEMOUNICODE, 0, 0, true);
        Both(pTable, L"mb", NA_IT_MEMOBINAIRE, 0, 0, true);
        return Access(pTable, pCnx);
    }
    // The row as the server holds it: both memos in hexadecimal.
    std::string Row(int nId)
    {
        return First("SELECT CONCAT_WS('/', IFNULL(HEX(m), 'NULL'), IFNULL(HEX(mb), 'NULL')) FROM r WHERE id = " +
                     std::to_string(nId));
    }
    static std::string File(const CTempDir& dir, const char* pszName, const std::string& strBytes)
    {
        const std::string strPath = dir.Path() + "/" + pszName;
        std::ofstream(strPath, std::ios::binary) << strBytes;
        return strPath;
    }
    // A megabyte of UTF-8 text beyond ASCII (characters of two, three and
    // four bytes).
    static std::wstring LargeText(const wchar_t* pszPiece)
    {
        const size_t nPiece = UTF8Of(pszPiece).size();
        std::wstring str;
        for (size_t n = 0; n < kMegabyte; n += nPiece)
            str += pszPiece;
        return str;
    }
    // A megabyte holding every byte value, in the order given.
    static std::string LargeBytes(bool bDown)
    {
        std::string str;
        while (str.size() < kMegabyte)
            for (int i = 0; i < 256; i++)
                str += static_cast<char>(bDown ? 255 - i : i);
        return str;
    }
};

} // namespace

TEST_F(LargeValueServer, MemosSetAsValuesOrAttachedReachTheServerIntact)
{
    CTestDataAccess* p = Memos();
    // Set as host values, then added.
    const std::wstring strText = LargeText(L"\u00E9t\u00E9 \u20AC\u03A9\u4E2D\U0001F600 0123456789 ");
    const std::string strBytes = LargeBytes(false);
    CAny clText;
    clText.__SetType(TQTYPE_DSTRW, 0);
    clText.pclGetTraitement()->SetValue(strText.c_str(), static_cast<unsigned>(strText.size() * sizeof(wchar_t)));
    CAny clBytes;
    clBytes.__SetType(TQTYPE_BIN, 0);
    clBytes.pclGetTraitement()->SetValue(strBytes.data(), static_cast<unsigned>(strBytes.size()));
    Set(p, L"id", L"1");
    ASSERT_EQ(p->bSetBLOB(0, &clText), 1) << ErrorText();
    ASSERT_EQ(p->bSetBLOB(1, &clBytes), 1) << ErrorText();
    ASSERT_EQ(p->bHAjoute(0, kNoLock), 1) << ErrorText();
    ASSERT_GE(UTF8Of(strText).size(), kMegabyte);
    const std::string strAdded = HexaOf(UTF8Of(strText)) + "/" + HexaOf(strBytes);
    EXPECT_EQ(Row(1), strAdded);

    // Attached as files, then written over the same record.
    CTempDir dir;
    // A text file is 8-bit text in the host's code page, 1252.
    const std::wstring strOtherText = LargeText(L"\u00FC\u00DF \u20AC\u00A9\u00B1\u00BF abc ");
    std::string strOtherText1252;
    for (const wchar_t c : strOtherText)
        strOtherText1252 += static_cast<char>(c == L'\u20AC' ? 0x80 : c);
    const std::string strOtherBytes = LargeBytes(true);
    const std::string strTextFile = File(dir, "text", strOtherText1252);
    const std::string strBytesFile = File(dir, "bytes", strOtherBytes);
    ASSERT_EQ(p->bHAttacheMemo(0, Wide(strTextFile).c_str()), 1) << ErrorText();
    ASSERT_EQ(p->bHAttacheMemo(1, Wide(strBytesFile).c_str()), 1) << ErrorText();
    ASSERT_EQ(p->bHModifie(0, 0, kNoLock), 1) << ErrorText();
    const std::string strWritten = HexaOf(UTF8Of(strOtherText)) + "/" + HexaOf(strOtherBytes);
    EXPECT_EQ(Row(1), strWritten);

    // An unknown memo changes nothing, in the record or on the server.
    m_pError->Reset();
    EXPECT_EQ(p->bSetBLOB(2, &clBytes), 0);
    EXPECT_EQ(m_pError->dwGetErrorId(), static_cast<unsigned int>(ZTERR_COLUMN_INDEX)) << ErrorText();
    m_pError->Reset();
    EXPECT_EQ(p->bHAttacheMemo(7, Wide(strBytesFile).c_str()), 0);
    EXPECT_EQ(m_pError->dwGetErrorId(), static_cast<unsigned int>(ZTERR_COLUMN_INDEX)) << ErrorText();
    ASSERT_EQ(p->bHModifie(0, 0, kNoLock), 1) << ErrorText();
    EXPECT_EQ(Row(1), strWritten);
    p->DropStatements();
}
