// The MySQL direct SQL statement over a scripted client: field records of
// each client version, the several-results replies, the lost-connection
// probe, the closing of a streamed result and crashes in each client call.
#include "tests/support/ScriptedClient.h"

namespace {
// ---- Field records ---------------------------------------------------------------------------------

TEST_F(MySQLStatementSQLFake, FieldRecordsOfEachClientVersion)
{
    const struct {
        const wchar_t* pszVersion;
        Layout st;
        bool bCharset;
    } tab[] = {
        {L"3.23.58", LAYOUT_32, false}, {L"4.0.30", LAYOUT_40, false}, {L"4.1.22", LAYOUT_80, true},
        {L"5.0.96", LAYOUT_80, true},   {L"5.1.73", LAYOUT_84, true},  {L"5.5.62", LAYOUT_84, true},
        {L"10.11.19", LAYOUT_84, true},
    };
    for (const auto& t : tab) {
        SetClient(t.pszVersion, t.st);
        FakeField f0 = Field("id", MYSQL_TYPE_LONG, 11, 3);
        FakeField f1 = Field("amount", MYSQL_TYPE_NEWDECIMAL, 12, 6, 2, 63);
        FakeField f2 = Field("label", MYSQL_TYPE_VAR_STRING, 120, 9, 0, 33);
        f2.pszOrgName = "lbl";
        f2.pszOrgTable = "t";
        m_clFake.tabReply.push_back(Reply({Rows({f0, f1, f2}, {{"1", "-12.50", "x"}})}));
        ASSERT_EQ(Run("SELECT"), 1) << ErrorText();
        const CNAColumnSQL* c0 = m_pStmt->pclGetNAColumnSQL(0);
        const CNAColumnSQL* c1 = m_pStmt->pclGetNAColumnSQL(1);
        const CNAColumnSQL* c2 = m_pStmt->pclGetNAColumnSQL(2);
        ASSERT_NE(c2, nullptr);
        EXPECT_EQ(std::wstring(c0->m_csName.pszGet()), L"id") << t.pszVersion;
        EXPECT_EQ(c0->m_nDBType, MYSQL_TYPE_LONG) << t.pszVersion;
        EXPECT_EQ(c0->m_eItemType, NA_IT_I4) << t.pszVersion;
        EXPECT_EQ(c1->m_ullLength, 12u) << t.pszVersion;
        EXPECT_EQ(c1->m_nDecimalPart, 2) << t.pszVersion;
        EXPECT_EQ(c1->m_nIntegerPart, 8) << t.pszVersion;
        EXPECT_EQ(m_pStmt->nGetRowMaxLen(), 18u) << t.pszVersion;
        if (t.bCharset) {
            EXPECT_EQ(c2->m_nCharsetNumber, 33u) << t.pszVersion;
            EXPECT_EQ(c2->m_eItemType, NA_IT_UNICODE) << t.pszVersion;
            EXPECT_EQ(std::wstring(c2->m_csDBTypeName.pszGet()), L"MYSQL_TYPE_VAR_STRING") << t.pszVersion;
            EXPECT_EQ(std::wstring(c2->m_csNameInSource.pszGet()), L"lbl") << t.pszVersion;
            EXPECT_EQ(std::wstring(c2->m_csTableName.pszGet()), L"t") << t.pszVersion;
        } else {
            EXPECT_EQ(c2->m_nCharsetNumber, 0u) << t.pszVersion;
            EXPECT_EQ(c2->m_eItemType, NA_IT_TEXTE) << t.pszVersion;
            EXPECT_EQ(std::wstring(c2->m_csDBTypeName.pszGet()), L"") << t.pszVersion;
            EXPECT_EQ(std::wstring(c2->m_csTableName.pszGet()), L"") << t.pszVersion;
        }
        EXPECT_EQ(c0->m_nKeyFlags, 0u) << t.pszVersion;
        ASSERT_EQ(m_pStmt->bFetch(0), 1);
        EXPECT_EQ(Text(1), L"-12.50") << t.pszVersion;
        EXPECT_EQ(Text(2), L"x") << t.pszVersion;
    }
}

TEST_F(MySQLStatementSQLFake, DecimalDigitsCountTheSignOnlyWhenSigned)
{
    const struct {
        unsigned int nLength, nDecimals, nFlags;
        int nDigits;
        eNA_ITEMTYPE eType;
    } tab[] = {
        {11, 0, 0, 10, NA_IT_I8},         // DECIMAL(10,0)
        {3, 0, 0x20, 3, NA_IT_I2},        // DECIMAL(3,0) UNSIGNED
        {12, 2, 0, 8, NA_IT_MONETAIRE},   // NUMERIC(10,2)
        {11, 2, 0x20, 8, NA_IT_MONETAIRE}, // NUMERIC(10,2) UNSIGNED
    };
    for (const auto& t : tab) {
        m_clFake.tabReply.push_back(Reply({Rows({Field("d", 246, t.nLength, 0, t.nDecimals, 63, t.nFlags)}, {})}));
        ASSERT_EQ(Run("SELECT"), 1) << ErrorText();
        const CNAColumnSQL* c = m_pStmt->pclGetNAColumnSQL(0);
        ASSERT_NE(c, nullptr);
        EXPECT_EQ(c->m_nIntegerPart, t.nDigits) << t.nLength << "," << t.nDecimals;
        EXPECT_EQ(c->m_eItemType, t.eType) << t.nLength << "," << t.nDecimals;
    }
    // The old layouts have no flags: signed.
    SetClient(L"4.0.30", LAYOUT_40);
    m_clFake.tabReply.push_back(Reply({Rows({Field("d", 0, 3, 0, 0, 0, 0x20)}, {})}));
    ASSERT_EQ(Run("SELECT"), 1) << ErrorText();
    EXPECT_EQ(m_pStmt->pclGetNAColumnSQL(0)->m_nIntegerPart, 2);
}

TEST_F(MySQLStatementSQLFake, UnsignedIntegersAreUnsignedItems)
{
    const unsigned int UNSIGNED = 0x20;
    m_clFake.tabReply.push_back(Reply({Rows({Field("a", 1, 3, 0, 0, 63, UNSIGNED), Field("b", 2, 5, 0, 0, 63, UNSIGNED),
                                             Field("c", 3, 10, 0, 0, 63, UNSIGNED), Field("d", 8, 20, 0, 0, 63, UNSIGNED),
                                             Field("e", 9, 8, 0, 0, 63, UNSIGNED), Field("f", 3, 11, 0, 0, 63, 0)},
                                            {})}));
    ASSERT_EQ(Run("SELECT"), 1) << ErrorText();
    const eNA_ITEMTYPE tabExpected[] = {NA_IT_UI1, NA_IT_UI2, NA_IT_UI4, NA_IT_UI8, NA_IT_I4, NA_IT_I4};
    for (int i = 0; i < 6; i++)
        EXPECT_EQ(m_pStmt->pclGetNAColumnSQL(i)->m_eItemType, tabExpected[i]) << i;
}

TEST_F(MySQLStatementSQLFake, ALengthOfZeroTakesTheTotalOfMaximumLengths)
{
    m_clFake.tabReply.push_back(Reply({Rows(
        {Field("a", 253, 40, 30), Field("computed", 253, 0, 0), Field("b", 253, 10, 5)}, {})}));
    ASSERT_EQ(Run("SELECT"), 1) << ErrorText();
    EXPECT_EQ(m_pStmt->pclGetNAColumnSQL(1)->m_ullLength, 30u);
    EXPECT_EQ(m_pStmt->nGetRowMaxLen(), 35u);
    // Nothing before it: it stays 0.
    m_clFake.tabReply.push_back(Reply({Rows({Field("computed", 253, 0, 0)}, {})}));
    ASSERT_EQ(Run("SELECT"), 1) << ErrorText();
    EXPECT_EQ(m_pStmt->pclGetNAColumnSQL(0)->m_ullLength, 0u);
    EXPECT_EQ(m_pStmt->pclGetNAColumnSQL(0)->m_eItemType, NA_IT_MEMOTEXTE);
}

// ---- Values ----------------------------------------------------------------------------------------

TEST_F(MySQLStatementSQLFake, ValuesReachTheCellAsTheirTypeWants)
{
    FakeAnswer cl = Rows({Field("d", MYSQL_TYPE_DATE, 10), Field("dt", MYSQL_TYPE_DATETIME, 19),
                          Field("ts", MYSQL_TYPE_TIMESTAMP, 19), Field("n", 246, 12, 0, 2),
                          Field("b", MYSQL_TYPE_BLOB, 65535, 0, 0, 63), Field("t", MYSQL_TYPE_BLOB, 65535, 0, 0, 8),
                          Field("z", MYSQL_TYPE_LONG, 11)},
                         {{"2024-01-31", "2024-01-31 10:20:30", "2024-01-31 10:20:30", "-12.50",
                           std::string("\x41\0\0\0\x42\0\0\0\x43\0\0\0", 12), "caf\xE9", ""}});
    cl.tabNull = {{false, false, false, false, false, false, true}};
    m_clFake.tabReply.push_back(Reply({cl}));
    ASSERT_EQ(Run("SELECT"), 1) << ErrorText();
    ASSERT_EQ(m_pStmt->bFetch(0), 1);

    // Dates lose their hyphens on the way to the cell.
    EXPECT_EQ(CellText(0, TQTYPE_DSTRA), "20240131");
    EXPECT_EQ(Text(2), L"2024-01-31 10:20:30"); // a timestamp goes unchanged
    EXPECT_EQ(Text(3), L"-12.50");
    // A text blob: the connection's code page.
    EXPECT_EQ(Text(5), L"caf\u00E9");
    EXPECT_EQ(Text(6), L"(null)");
    // Raw bytes of the current row.
    unsigned char* p = nullptr;
    unsigned int n = 0;
    ASSERT_EQ(m_pStmt->bGetValue(&p, &n, 4), 1);
    EXPECT_EQ(n, 12u);
    EXPECT_EQ(std::memcmp(p, "\x41\0\0\0\x42", 5), 0);
    ASSERT_EQ(m_pStmt->bGetValue(&p, &n, 6), 1);
    EXPECT_EQ(p, nullptr);
}

TEST_F(MySQLStatementSQLFake, BlobRulesByTheCellsItemTypes)
{
    // UTF-8 on the connection, 1252 for the host: the code page shows.
    m_pCnx->SetCodePage(65001);
    const std::string strUTF8 = "caf\xC3\xA9";
    const std::string strWide("\x41\0\0\0\x42\0\0\0\x43\0\0\0", 12);
    const std::string strBit("\x08\x01", 2);
    const std::string strUTF8Long = strUTF8 + strUTF8;
    const struct {
        unsigned int nType, nCharset;
        const std::string* pValue;
        eNA_ITEMTYPE eAnalyse, eDatabase;
        const wchar_t* pszExpected;
    } tab[] = {
        {MYSQL_TYPE_BLOB, 63, &strWide, NA_IT_UNICODE, NA_IT_MEMOBINAIRE, L"ABC"},
        {MYSQL_TYPE_BLOB, 63, &strWide, NA_IT_MEMOUNICODE, NA_IT_EMPTY, L"ABC"},
        {MYSQL_TYPE_BLOB, 63, &strUTF8, NA_IT_EMPTY, NA_IT_EMPTY, L"caf\u00C3\u00A9"},  // the host's page
        {MYSQL_TYPE_BLOB, 8, &strUTF8, NA_IT_EMPTY, NA_IT_EMPTY, L"caf\u00E9"},         // the connection's
        {MYSQL_TYPE_BLOB, 63, &strUTF8, NA_IT_EMPTY, NA_IT_MEMOTEXTE, L"caf\u00E9"},    // a text on the server
        {MYSQL_TYPE_VAR_STRING, 63, &strUTF8, NA_IT_EMPTY, NA_IT_EMPTY, L"caf\u00C3\u00A9"}, // VARBINARY
        // A BIT value is the number its bytes hold, most significant first.
        {MYSQL_TYPE_BIT, 63, &strBit, NA_IT_EMPTY, NA_IT_EMPTY, L"2049"},
        {MYSQL_TYPE_BIT, 63, &strBit, NA_IT_EMPTY, NA_IT_I2, L"2049"},
        // A binary item on the server side keeps the bytes; the host's item decides first.
        {MYSQL_TYPE_BIT, 63, &strUTF8, NA_IT_EMPTY, NA_IT_BINAIRE, L"caf\u00C3\u00A9"},
        {MYSQL_TYPE_BIT, 63, &strBit, NA_IT_I2, NA_IT_BINAIRE, L"2049"},
        // More bytes than a 64-bit number holds stay bytes.
        {MYSQL_TYPE_BIT, 63, &strUTF8Long, NA_IT_EMPTY, NA_IT_EMPTY, L"caf\u00C3\u00A9caf\u00C3\u00A9"},
        {MYSQL_TYPE_VAR_STRING, 33, &strUTF8, NA_IT_EMPTY, NA_IT_EMPTY, L"caf\u00E9"},
    };
    for (const auto& t : tab) {
        m_clFake.tabReply.push_back(Reply({Rows({Field("b", t.nType, 255, 0, 0, t.nCharset)}, {{*t.pValue}})}));
        ASSERT_EQ(Run("SELECT"), 1) << ErrorText();
        ASSERT_EQ(m_pStmt->bFetch(0), 1);
        ItemPtr pAnalyse = Item(t.eAnalyse, 40);
        ItemPtr pDatabase = Item(t.eDatabase, 40);
        CCell cl(m_pError, m_pCnx);
        cl.InitTypeVariantAny(TQTYPE_DSTRW, 0);
        cl.SetItemDesc(t.eAnalyse != NA_IT_EMPTY ? pAnalyse.get() : nullptr,
                       t.eDatabase != NA_IT_EMPTY ? pDatabase.get() : nullptr);
        ASSERT_EQ(m_pStmt->bGetValue(&cl, 0, 0), 1) << t.nType << "/" << t.eAnalyse << "/" << t.eDatabase;
        CAny v;
        ASSERT_TRUE(cl.bGetValue(&v));
        // An item of the host's types the value as its own: its text.
        ASSERT_LE(v.__nCastTo(TQTYPE_DSTRW, nullptr, 0), 99);
        EXPECT_EQ(TextW(v), t.pszExpected) << t.nType << "/" << t.eAnalyse << "/" << t.eDatabase;
        cl.SetItemDesc(nullptr, nullptr);
    }
    // A binary cell takes the bytes as they are.
    const std::string strBytes("\x00\x80\xFF", 3);
    m_clFake.tabReply.push_back(Reply({Rows({Field("b", MYSQL_TYPE_BLOB, 255, 0, 0, 63)}, {{strBytes}})}));
    ASSERT_EQ(Run("SELECT"), 1) << ErrorText();
    ASSERT_EQ(m_pStmt->bFetch(0), 1);
    ItemPtr pBinary = Item(NA_IT_MEMOBINAIRE, 8);
    CCell cl(m_pError, m_pCnx);
    cl.InitTypeVariantAny(TQTYPE_BIN, 0);
    cl.SetItemDesc(pBinary.get(), nullptr);
    ASSERT_EQ(m_pStmt->bGetValue(&cl, 0, 0), 1);
    CAny v;
    ASSERT_TRUE(cl.bGetValue(&v));
    EXPECT_EQ(DataBytes(v), Bytes({0x00, 0x80, 0xFF}));
    cl.SetItemDesc(nullptr, nullptr);
    // So does a BIT value, for a binary cell or a binary item.
    for (const eNA_ITEMTYPE eAnalyse : {NA_IT_EMPTY, NA_IT_BINAIRE}) {
        m_clFake.tabReply.push_back(Reply({Rows({Field("b", MYSQL_TYPE_BIT, 12, 0, 0, 63)}, {{strBit}})}));
        ASSERT_EQ(Run("SELECT"), 1) << ErrorText();
        ASSERT_EQ(m_pStmt->bFetch(0), 1);
        ItemPtr pItem = Item(eAnalyse, 4);
        CCell clBit(m_pError, m_pCnx);
        clBit.InitTypeVariantAny(TQTYPE_BIN, 0);
        clBit.SetItemDesc(eAnalyse != NA_IT_EMPTY ? pItem.get() : nullptr, nullptr);
        ASSERT_EQ(m_pStmt->bGetValue(&clBit, 0, 0), 1);
        CAny vBit;
        ASSERT_TRUE(clBit.bGetValue(&vBit));
        EXPECT_EQ(DataBytes(vBit), Bytes({0x08, 0x01})) << eAnalyse;
        clBit.SetItemDesc(nullptr, nullptr);
    }
}

TEST_F(MySQLStatementSQLFake, ValuesOnlyOfACurrentRowAndAColumnInRange)
{
    m_clFake.tabReply.push_back(
        Reply({Rows({Field("a", 3, 11)}, {{"0"}, {"1"}, {"2"}, {"3"}, {"4"}, {"5"}, {"6"}})}));
    ASSERT_EQ(Run("SELECT"), 1) << ErrorText();
    EXPECT_EQ(Text(0), L"(false)"); // before the first fetch
    ASSERT_EQ(m_pStmt->bDataSeek(5), 1);
    EXPECT_EQ(m_clFake.nSeek, 5u);
    EXPECT_EQ(Text(0), L"(false)"); // after a seek
    ASSERT_EQ(m_pStmt->bFetch(0), 1);
    EXPECT_EQ(m_pStmt->llGetCurrentRow(), 5);
    EXPECT_EQ(Text(0), L"5");
    m_pError->Reset();
    EXPECT_EQ(Text(1), L"(false)"); // out of range
    EXPECT_EQ(m_pError->dwGetErrorId(), 50u);
    unsigned char* p = nullptr;
    unsigned int n = 0;
    EXPECT_EQ(m_pStmt->bGetValue(&p, &n, 1), 0);
    ASSERT_EQ(m_pStmt->bFetch(0), 1);
    ASSERT_EQ(m_pStmt->bFetch(0), 1); // the end
    EXPECT_EQ(m_pStmt->bEndOfData(), 1);
    EXPECT_EQ(Text(0), L"(false)");
    EXPECT_EQ(m_pStmt->bGetValue(&p, &n, 0), 0);
}

// ---- Several results -------------------------------------------------------------------------------

TEST_F(MySQLStatementSQLFake, SeveralResults)
{
    // UPDATE; SELECT 1,2: the SELECT is held.
    m_clFake.tabReply.push_back(Reply({NoSet(), Rows({Field("1", 8, 1), Field("2", 8, 1)}, {{"1", "2"}})}));
    ASSERT_EQ(Run("UPDATE t SET a=a; SELECT 1,2"), 1) << ErrorText();
    EXPECT_EQ(m_pStmt->llGetRowCount(), 1);
    unsigned int nColumns = 0;
    m_pStmt->bGetColumnNbr(&nColumns, 0);
    EXPECT_EQ(nColumns, 2u);
    // SELECT 1; SELECT 2,3: the first is held, the second read and freed.
    m_clFake.tabReply.push_back(
        Reply({Rows({Field("1", 8, 1)}, {{"1"}}), Rows({Field("2", 8, 1), Field("3", 8, 1)}, {{"2", "3"}})}));
    ASSERT_EQ(Run("SELECT 1; SELECT 2,3"), 1) << ErrorText();
    m_pStmt->bGetColumnNbr(&nColumns, 0);
    EXPECT_EQ(nColumns, 1u);
    EXPECT_EQ(m_clFake.nResultsMade - m_clFake.nResultsFreed, 1);
    // UPDATE ok; UPDATE bad: the second statement's error.
    m_clFake.tabReply.push_back(Reply({NoSet(), NoSet(1054)}));
    EXPECT_EQ(Run("UPDATE ok; UPDATE bad"), 0);
    EXPECT_EQ(m_pError->dwGetDataBaseErrorCode(), 1054u);
    EXPECT_NE(Position(ErrorText(), L"=100.21"), std::wstring::npos) << ErrorText();
    // SELECT; UPDATE bad: the error while draining.
    m_pError->Reset();
    m_clFake.tabReply.push_back(Reply({Rows({Field("1", 8, 1)}, {{"1"}}), NoSet(1054)}));
    EXPECT_EQ(Run("SELECT 1; UPDATE bad"), 0);
    EXPECT_EQ(m_pError->dwGetDataBaseErrorCode(), 1054u);
    EXPECT_NE(Position(ErrorText(), L"=100.19"), std::wstring::npos) << ErrorText();
    // Without multiple results only the first answer is looked at.
    CMySQLConnection::gbUseNextResult = 0;
    m_clFake.tabReply.push_back(Reply({NoSet(), Rows({Field("1", 8, 1)}, {{"1"}})}));
    ASSERT_EQ(Run("UPDATE t SET a=a; SELECT 1"), 1) << ErrorText();
    m_pStmt->bGetColumnNbr(&nColumns, 0);
    EXPECT_EQ(nColumns, 0u);
    EXPECT_EQ(m_pStmt->llGetRowCount(), 0);
}

TEST_F(MySQLStatementSQLFake, UseModeSkipsStatementsWithoutResultAndDrainsTheRestAtClose)
{
    m_pStmt->SetStoreResult(0);
    m_clFake.tabReply.push_back(Reply({NoSet(), Rows({Field("1", 8, 1)}, {{"1"}, {"2"}, {"3"}}),
                                       Rows({Field("2", 8, 1)}, {{"9"}})}));
    ASSERT_EQ(Run("UPDATE t SET a=a; SELECT 1; SELECT 2"), 1) << ErrorText();
    EXPECT_EQ(m_pStmt->llGetRowCount(), 4294967295LL);
    m_clFake.tabCalls.clear();
    ASSERT_EQ(m_pStmt->bReset(), 1);
    // Three unread rows and the final null before the result is freed; then
    // the rest of the reply.
    const std::vector<std::string> tabExpected = {"fetch_row", "fetch_row",    "fetch_row",   "fetch_row",
                                                  "free_result", "next_result", "store_result", "free_result",
                                                  "next_result"};
    EXPECT_EQ(m_clFake.tabCalls, tabExpected);
}

TEST_F(MySQLStatementSQLFake, AStreamedResultOfNoRowsKnowsItsEndOnlyAtTheFirstFetch)
{
    m_pStmt->SetStoreResult(0);
    m_clFake.tabReply.push_back(Reply({Rows({Field("a", 3, 11)}, {})}));
    ASSERT_EQ(Run("SELECT"), 1) << ErrorText();
    EXPECT_EQ(m_pStmt->llGetRowCount(), 4294967295LL);
    ASSERT_EQ(m_pStmt->bFetch(0), 1);
    EXPECT_EQ(m_pStmt->bEndOfData(), 1);
    // A streamed result has no seek.
    EXPECT_EQ(m_pStmt->bDataSeek(0), 0);
    EXPECT_EQ(CallCount("data_seek"), 0);
}

TEST_F(MySQLStatementSQLFake, TheCountOfAStatementWithoutResultOutlivesTheNextResult)
{
    m_clFake.tabReply.push_back(Reply({NoSet()}));
    m_clFake.nAffected = 3;
    ASSERT_EQ(Run("UPDATE t SET a=a"), 1) << ErrorText();
    m_clFake.nAffected = static_cast<unsigned long long>(-1); // as the next result leaves it
    long long ll = 0;
    ASSERT_EQ(m_pStmt->bGetAffected_rows(&ll), 1);
    EXPECT_EQ(ll, 3);
}

TEST_F(MySQLStatementSQLFake, AffectedRowsCloseTheResultFirst)
{
    m_pStmt->SetStoreResult(0);
    m_clFake.tabReply.push_back(Reply({Rows({Field("a", 3, 11)}, {{"1"}, {"2"}})}));
    ASSERT_EQ(Run("SELECT"), 1) << ErrorText();
    m_clFake.nAffected = 7;
    long long ll = 0;
    ASSERT_EQ(m_pStmt->bGetAffected_rows(&ll), 1);
    EXPECT_EQ(ll, 7);
    EXPECT_EQ(m_clFake.nResultsFreed, 1);
    EXPECT_EQ(CallCount("fetch_row"), 3);
}

// ---- The lost-connection probe ----------------------------------------------------------------------

FakeReply Variable(const char* pszName, const char* pszValue)
{
    return Reply({Rows({Field("Variable_name", 253, 64), Field("Value", 253, 1024)}, {{pszName, pszValue}})});
}

FakeReply PacketSize(const char* pszValue)
{
    return Variable("max_allowed_packet", pszValue);
}

// The server takes a text and its command byte shorter than the larger of
// max_allowed_packet and net_buffer_length: past a packet of 100, a text of
// 99 bytes or more is too long for a net buffer of 16 or none read, one of
// 150 for a buffer of 151, not for one of 152. A text the packet alone
// takes asks no net buffer, nor does a packet read as 0, which blames no
// length.
TEST_F(MySQLStatementSQLFake, ALostConnectionWithATextLongerThanThePacketSaysSo)
{
    const struct {
        const char* pszPacket;
        const char* pszBuffer; // null: the question refused
        unsigned int nLength;
        bool bAsked;
        bool bTooLong;
    } aCases[] = {
        {"100", "16", 98, false, false},    {"100", "16", 99, true, true},      {"100", "16", 100, true, true},
        {"100", "16", 150, true, true},     {"100", "151", 149, true, false},   {"100", "151", 150, true, true},
        {"100", "152", 150, true, false},   {"100", nullptr, 98, false, false}, {"100", nullptr, 99, true, true},
        {"100", nullptr, 150, true, true},  {"0", "16", 150, false, false},
    };
    for (const auto& c : aCases) {
        SCOPED_TRACE(std::string(c.pszPacket) + ", " + (c.pszBuffer != nullptr ? c.pszBuffer : "none") + ", " +
                     std::to_string(c.nLength));
        const std::string strText = "SELECT '" + std::string(c.nLength - 9, 'x') + "'";
        m_pError->Reset();
        m_clFake.tabQueries.clear();
        m_clFake.tabReply.push_back(Refused(2006));
        m_clFake.tabReply.push_back(PacketSize(c.pszPacket));
        if (c.bAsked)
            m_clFake.tabReply.push_back(c.pszBuffer != nullptr ? Variable("net_buffer_length", c.pszBuffer)
                                                               : Refused(1064));
        EXPECT_EQ(Run(strText.c_str()), 0);
        EXPECT_EQ(m_pError->dwGetErrorId(), c.bTooLong ? 320101u : 22u);
        EXPECT_EQ(m_pError->dwGetDataBaseErrorCode(), 2006u);
        const std::wstring s = ErrorText();
        EXPECT_EQ(Position(s, L"=100.26") != std::wstring::npos, c.bTooLong) << s;
        ASSERT_NE(Position(s, L"=100.23"), std::wstring::npos) << s;
        if (c.bTooLong) {
            EXPECT_LT(Position(s, L"=100.26"), Position(s, L"=100.23")) << s;
        }
        ASSERT_EQ(m_clFake.tabQueries.size(), c.bAsked ? 3u : 2u);
        EXPECT_EQ(m_clFake.tabQueries[0].size(), c.nLength);
        EXPECT_EQ(m_clFake.tabQueries[1], "show variables like 'max_allowed_packet'");
        if (c.bAsked) {
            EXPECT_EQ(m_clFake.tabQueries[2], "show variables like 'net_buffer_length'");
        }
        EXPECT_EQ(m_pCnx->m_nOpens, 0);
    }
}

TEST_F(MySQLStatementSQLFake, AShortTextLeavesOnlyTheServerError)
{
    const std::string strShort = "SELECT '" + std::string(41, 'x') + "'"; // 50 characters
    m_clFake.tabReply.push_back(Refused(2006));
    m_clFake.tabReply.push_back(PacketSize("100"));
    EXPECT_EQ(Run(strShort.c_str()), 0);
    EXPECT_EQ(m_pError->dwGetErrorId(), 22u);
    EXPECT_EQ(Position(ErrorText(), L"=100.26"), std::wstring::npos);
    EXPECT_NE(Position(ErrorText(), L"=100.23"), std::wstring::npos);
    // Within max_allowed_packet: no net buffer asked.
    EXPECT_EQ(m_clFake.tabQueries.size(), 2u);
}

TEST_F(MySQLStatementSQLFake, AProbeThatLosesTheConnectionReconnectsOnceAndProbesNoFurther)
{
    const std::string strLong = "SELECT '" + std::string(141, 'x') + "'";
    m_clFake.tabReply.push_back(Refused(2006));
    m_clFake.tabReply.push_back(Refused(2006)); // the probe
    m_clFake.tabReply.push_back(Refused(2006)); // the probe after the reconnect
    EXPECT_EQ(Run(strLong.c_str()), 0);
    EXPECT_EQ(m_pCnx->m_nCloses, 1);
    EXPECT_EQ(m_pCnx->m_nOpens, 1);
    EXPECT_EQ(m_clFake.tabQueries.size(), 3u);
    EXPECT_EQ(m_pError->dwGetErrorId(), 22u);
    EXPECT_EQ(Position(ErrorText(), L"=100.26"), std::wstring::npos);
    // The reconnected probe may succeed.
    m_pError->Reset();
    m_clFake.tabReply.push_back(Refused(2006));
    m_clFake.tabReply.push_back(Refused(2006));
    m_clFake.tabReply.push_back(PacketSize("100"));
    m_clFake.tabReply.push_back(Variable("net_buffer_length", "100"));
    EXPECT_EQ(Run(strLong.c_str()), 0);
    EXPECT_EQ(m_pCnx->m_nOpens, 2);
    EXPECT_EQ(m_pError->dwGetErrorId(), 320101u);
}

// ---- Crashes in the client ------------------------------------------------------------------------

TEST_F(MySQLStatementSQLFake, ACrashInTheQueryStopsAtOnce)
{
    m_clFake.tabThrowing = {"real_query"};
    EXPECT_EQ(Run("SELECT"), 0);
    EXPECT_EQ(m_pError->dwGetErrorId(), 23u);
    EXPECT_NE(Position(ErrorText(), L"=100.3\r"), std::wstring::npos) << ErrorText();
    EXPECT_EQ(CallCount("errno"), 0);
    EXPECT_EQ(CallCount("store_result"), 0);
}

TEST_F(MySQLStatementSQLFake, ACrashWhileStoringLeavesNoResult)
{
    m_clFake.tabThrowing = {"store_result"};
    m_clFake.tabReply.push_back(Reply({Rows({Field("a", 3, 11)}, {{"1"}})}));
    EXPECT_EQ(Run("SELECT"), 0);
    EXPECT_EQ(m_pError->dwGetErrorId(), 23u);
    EXPECT_EQ(m_pStmt->llGetRowCount(), 0);
    unsigned int nColumns = 9;
    m_pStmt->bGetColumnNbr(&nColumns, 0);
    EXPECT_EQ(nColumns, 0u);
}

TEST_F(MySQLStatementSQLFake, CrashesWhileReading)
{
    m_clFake.tabReply.push_back(Reply({Rows({Field("a", 3, 11)}, {{"1"}, {"2"}, {"3"}})}));
    ASSERT_EQ(Run("SELECT"), 1) << ErrorText();
    // Lengths: the row cannot be read.
    m_clFake.tabThrowing = {"fetch_lengths"};
    EXPECT_EQ(m_pStmt->bFetch(0), 0);
    EXPECT_EQ(m_pError->dwGetErrorId(), 23u);
    EXPECT_EQ(Text(0), L"(false)");
    // Seek: no current row either.
    m_clFake.tabThrowing = {"data_seek"};
    m_pError->Reset();
    EXPECT_EQ(m_pStmt->bDataSeek(1), 0);
    EXPECT_EQ(m_pError->dwGetErrorId(), 23u);
    EXPECT_EQ(Text(0), L"(false)");
    // Row: reads as no row, the error number being 0.
    m_clFake.tabThrowing = {"fetch_row"};
    m_pError->Reset();
    EXPECT_EQ(m_pStmt->bFetch(0), 0);
    EXPECT_EQ(m_pError->dwGetErrorId(), 23u);
    EXPECT_EQ(m_pStmt->bEndOfData(), 1);
    m_clFake.tabThrowing.clear();
}

TEST_F(MySQLStatementSQLFake, ALostConnectionWhileStreamingEndsTheRows)
{
    m_pStmt->SetStoreResult(0);
    m_clFake.tabReply.push_back(Reply({Rows({Field("a", 3, 11)}, {{"1"}})}));
    ASSERT_EQ(Run("SELECT"), 1) << ErrorText();
    ASSERT_EQ(m_pStmt->bFetch(0), 1);
    m_clFake.nErrno = 2013;
    EXPECT_EQ(m_pStmt->bFetch(0), 0);
    EXPECT_EQ(m_pStmt->bEndOfData(), 1);
    EXPECT_EQ(m_pError->dwGetDataBaseErrorCode(), 2013u);
    EXPECT_NE(Position(ErrorText(), L"=100.25"), std::wstring::npos) << ErrorText();
}

TEST(MySQLStatementSQL, AConnectionNotOpenIsRefusedBeforeAnythingIsSent)
{
    CNAError* pError = new CNAError;
    pError->AddRef();
    CMySQLConnection* pCnx = new CMySQLConnection(L"closed", nullptr);
    pCnx->AddRef();
    CMySQLStatementSQL* pStmt = new CMySQLStatementSQL(pCnx, pError);
    pStmt->AddRef();
    EXPECT_EQ(pStmt->bExecuteDirect("SELECT 1", 0), 0);
    EXPECT_EQ(pError->dwGetErrorId(), 79u);
    pStmt->nRelease();
    pCnx->nRelease();
    pError->nRelease();
}

TEST(MySQLDriverSQL, TheMySQLDriversInterfaceMakesMySQLStatements)
{
    CMySQLDriver clDriver;
    CNADriverSQL* pclSQL = clDriver.pclGetDriverSQL();
    ASSERT_NE(pclSQL, nullptr);
    EXPECT_NE(dynamic_cast<CMySQLDriverSQL*>(pclSQL), nullptr);
    CNAError* pError = new CNAError;
    pError->AddRef();
    CMySQLConnection* pCnx = new CMySQLConnection(L"factory", nullptr);
    pCnx->AddRef();
    CNAStatementSQL* pStmt = pclSQL->pclAllocStatementSQL(pCnx, pError);
    ASSERT_NE(pStmt, nullptr);
    pStmt->AddRef();
    EXPECT_NE(dynamic_cast<CMySQLStatementSQL*>(pStmt), nullptr);
    EXPECT_EQ(pStmt->nGetRef(), 1u);
    pStmt->nRelease();
    pCnx->nRelease();
    pError->nRelease();
}

} // namespace
