// Adds, modifies and deletes through the table object as the host calls it,
// on tables the driver describes from the server: every column type of the
// type maps read back by another connection against the same literals the
// server stores itself; duplicates, NULLs refused and lock time-outs named;
// automatic identifiers; and every statement, command, filter and
// identifier object made along the way given back once.
#include "access/sql/NACommand.h"
#include "access/statement/NAColumn.h"
#include "access/sql/NAFilter.h"
#include "access/statement/NARecord.h"
#include "access/statement/NARecordCache.h"
#include "access/statement/NARecordValue.h"
#include "access/table/NAIDAuto.h"
#include "common/platform/MyModuleInfo.h"
#include "mysql/MySQLDriver.h"
#include "mysql/MySQLStatement.h"
#include "tests/support/DuplicateCases.h"
#include "tests/support/HostTableServer.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

constexpr eNA_LOCKTYPE kNoLock = static_cast<eNA_LOCKTYPE>(0);
constexpr eNA_PARSEDIRECTION FIRST = static_cast<eNA_PARSEDIRECTION>(0);

// Objects of the kinds a write makes, counted as they are made and destroyed.
struct SLive {
    int nMade = 0;
    int nGone = 0;
};
SLive g_stStatements, g_stCommands, g_stFilters, g_stIdAuto;

template <class TBase>
class CCounted : public TBase {
public:
    template <class... A>
    CCounted(SLive* pst, A... a) : TBase(a...), m_pst(pst)
    {
        m_pst->nMade++;
    }
    ~CCounted() override { m_pst->nGone++; }

private:
    SLive* m_pst;
};

class CCountedStatement : public CCounted<CMySQLStatement> {
public:
    using CCounted<CMySQLStatement>::CCounted;
    CNAFilter* pclAllocFilter(CNAError* pclError) override
    {
        return new CCounted<CNAFilter>(&g_stFilters, pclError, pclGetConnectionNoRef());
    }
};

class CCountingDriver : public CVersionedDriver {
public:
    CNAStatement* pclAllocStatement(CNADataAccess* pDataAccess, CNAConnectionDescription*, CNAError* pError) override
    {
        return new CCountedStatement(&g_stStatements, pDataAccess, pError);
    }
    CNACommand* pclAllocCommand(CNAError* pError, CNAConnectionDescription* pConnection) override
    {
        return new CCounted<CNACommand>(&g_stCommands, pError, pConnection);
    }
    CNAIDAuto* pclAllocIDAuto() override { return new CCounted<CNAIDAuto>(&g_stIdAuto); }
};

class TableWrite : public HostTableServerTestOf<CCountingDriver> {
protected:
    TableWrite()
        : HostTableServerTestOf<CCountingDriver>(
              "zt40tw", {"CREATE TABLE w (id INT NOT NULL PRIMARY KEY, u1 INT NOT NULL, txt VARCHAR(40) NULL, "
                         "u2 INT NULL, ca INT NULL, cb INT NULL, UNIQUE KEY (u1), UNIQUE KEY (u2), "
                         "UNIQUE KEY kc (ca, cb)) ENGINE=InnoDB",
                         "CREATE TABLE a (id BIGINT NOT NULL AUTO_INCREMENT PRIMARY KEY, v INT NULL) ENGINE=InnoDB"})
    {
    }
    void SetUp() override
    {
        for (SLive* p : {&g_stStatements, &g_stCommands, &g_stFilters, &g_stIdAuto})
            *p = SLive();
        HostTableServerTestOf<CCountingDriver>::SetUp();
    }
    // The whole of w as the server has it, in key order.
    Rows TableW()
    {
        return List("SELECT CONCAT_WS('/', id, u1, IFNULL(txt, 'NULL'), IFNULL(u2, 'NULL'), IFNULL(ca, 'NULL'), "
                    "IFNULL(cb, 'NULL')) FROM w ORDER BY id");
    }
    void Fill(INATable* pi, CHostContext* pc, int nId, int nU1, const wchar_t* pszText, int nU2)
    {
        SetItem(pi, pc, L"id", std::to_wstring(nId));
        SetItem(pi, pc, L"u1", std::to_wstring(nU1));
        SetItem(pi, pc, L"txt", pszText);
        if (nU2 < 0)
            SetItemNull(pi, pc, L"u2");
        else
            SetItem(pi, pc, L"u2", std::to_wstring(nU2));
        SetItemNull(pi, pc, L"ca");
        SetItemNull(pi, pc, L"cb");
    }
    static std::string Item(INATable* pi, CHostContext* pc)
    {
        const wchar_t* psz = ErrorOf(pi, pc)->pszGetItemName();
        return psz != nullptr ? Narrow(psz) : "";
    }
    // w opened, row 1 (1, 10, 'a') added then deleted through the table;
    // null, and a failure, when any step fails.
    INATable* DeletedHere(CHostContext* pc)
    {
        INATable* pi = Open(L"w", pc);
        if (pi == nullptr)
            return nullptr;
        Fill(pi, pc, 1, 10, L"a", -1);
        const bool bDone = pi->bHAjoute(pc, 0, kNoLock) == 1 && pi->bHSupprime(pc, 0, kNoLock) == 1;
        EXPECT_TRUE(bDone) << Error(pi, pc);
        return bDone ? pi : nullptr;
    }
    // The references the data access's record saves hold, all slots.
    static int SaveReferences(INATable* pi, CHostContext* pc)
    {
        CNARecordCachePosition* pCache = Access(pi, pc)->pclGetRecordSaveCacheNoRef();
        int n = 0;
        for (int i = 0; pCache != nullptr && i < pCache->nGetCount() + 8; i++)
            n += pCache->nGetRecordSaveRef(i);
        return n;
    }
};

// ---- Every type of the maps -------------------------------------------------------------------------------------

struct STypeCase {
    const char* pszColumn;  // name and type
    const wchar_t* pszAdd;  // the host's text of the value added
    const char* pszAddSQL;  // the literal the server stores for it
    const wchar_t* pszMod;  // the value of the modify
    const char* pszModSQL;
    const char* pszRead;    // how the column is compared ("%s" the column)
};

const STypeCase kTypes[] = {
    {"ti TINYINT", L"-128", "-128", L"127", "127", "%s"},
    {"tu TINYINT UNSIGNED", L"255", "255", L"0", "0", "%s"},
    {"si SMALLINT", L"-32768", "-32768", L"32767", "32767", "%s"},
    {"su SMALLINT UNSIGNED", L"65535", "65535", L"1", "1", "%s"},
    {"mi MEDIUMINT", L"-8388608", "-8388608", L"8388607", "8388607", "%s"},
    {"mu MEDIUMINT UNSIGNED", L"16777215", "16777215", L"2", "2", "%s"},
    {"ii INT", L"-2147483648", "-2147483648", L"2147483647", "2147483647", "%s"},
    {"iu INT UNSIGNED", L"4294967295", "4294967295", L"3", "3", "%s"},
    {"bi BIGINT", L"-9223372036854775808", "-9223372036854775808", L"9223372036854775807",
     "9223372036854775807", "%s"},
    {"bu BIGINT UNSIGNED", L"18446744073709551615", "18446744073709551615", L"4", "4", "%s"},
    {"de DECIMAL(20,4)", L"-1234567890123456.7891", "-1234567890123456.7891", L"0.0001", "0.0001", "%s"},
    {"fl FLOAT", L"1.5", "1.5", L"-0.25", "-0.25", "%s"},
    {"db DOUBLE", L"-2.125", "-2.125", L"1e300", "1e300", "%s"},
    {"dt DATE", L"20240229", "'2024-02-29'", L"19991231", "'1999-12-31'", "%s"},
    {"tm TIME", L"235958", "'23:59:58'", L"000001", "'00:00:01'", "%s"},
    {"dh DATETIME", L"20231231235958000", "'2023-12-31 23:59:58'", L"19700101000000000", "'1970-01-01 00:00:00'",
     "%s"},
    {"ts TIMESTAMP NULL", L"20200615120000000", "'2020-06-15 12:00:00'", L"20380101000000000",
     "'2038-01-01 00:00:00'", "%s"},
    {"yr YEAR", L"20240101", "2024", L"19990101", "1999", "%s"},
    {"ch CHAR(10)", L"abc", "'abc'", L"\u00e9\u20ac", "_utf8mb4 X'C3A9E282AC'", "HEX(%s)"},
    {"vc VARCHAR(40)", L"\u00e9\u20ac\u03a9\u4e2d\U0001F600", "_utf8mb4 X'C3A9E282ACCEA9E4B8ADF09F9880'", L"x",
     "'x'", "HEX(%s)"},
    {"bt BIT(1)", L"1", "1", L"0", "0", "%s+0"},
};

// Memo columns: set with bSetBLOB (text or bytes) or attached from a file.
struct SMemoCase {
    const char* pszColumn;
    bool bBinary;
    bool bFromFile;
};
const SMemoCase kMemos[] = {
    {"tt TINYTEXT", false, false},   {"te TEXT", false, false},       {"mt MEDIUMTEXT", false, false},
    {"lt LONGTEXT", false, false},   {"tb TINYBLOB", true, false},    {"bl BLOB", true, true},
    {"mb MEDIUMBLOB", true, false},  {"lb LONGBLOB", true, true},     {"en ENUM('a','\u00e9','b')", false, false},
    {"st SET('x','y','z')", false, false},
};

std::string NameOf(const char* pszColumn)
{
    const std::string s = pszColumn;
    return s.substr(0, s.find(' '));
}

std::string ReadOf(const STypeCase& c)
{
    char sz[128];
    std::snprintf(sz, sizeof(sz), c.pszRead, NameOf(c.pszColumn).c_str());
    return sz;
}

// The memo's number among the description's memos.
unsigned int MemoNumber(INADataSourceDescription* pi, const std::string& strName)
{
    for (unsigned int i = 0; i < pi->nGetNumMemos(); i++) {
        INAItemDescription* piMemo = pi->piNAGetMemo(i);
        const bool bSame = piMemo != nullptr && Narrow(piMemo->pszGetName()) == strName;
        if (piMemo != nullptr)
            piMemo->nExternalRelease();
        if (bSame)
            return i;
    }
    ADD_FAILURE() << "no memo " << strName;
    return 0;
}

TEST_F(TableWrite, EveryTypeIsWhatTheServerStoresForTheSameLiteral)
{
    std::string strColumns = "id INT NOT NULL PRIMARY KEY, vb VARBINARY(256) NULL, bn BINARY(4) NULL";
    for (const STypeCase& c : kTypes)
        strColumns += std::string(", ") + c.pszColumn + (std::string(c.pszColumn).find(" NULL") == std::string::npos
                                                             ? " NULL" : "");
    for (const SMemoCase& c : kMemos)
        strColumns += std::string(", ") + c.pszColumn + " NULL";
    ASSERT_TRUE(Admin("CREATE TABLE ty (" + strColumns + ") ENGINE=InnoDB CHARACTER SET utf8mb4"));
    ASSERT_TRUE(Admin("CREATE TABLE ref LIKE ty"));
    CHostContext* pc = Context(1);
    INATable* pi = Open(L"ty", pc);
    ASSERT_NE(pi, nullptr);
    INADataSourceDescription* piDescription = Description(pi);
    CTempDir clDir("zt40memo");
    const std::string strAll = AllBytes();

    // Pass 0 adds row 1, pass 1 modifies it; ref gets the same literals.
    for (int nPass = 0; nPass < 2; nPass++) {
        SCOPED_TRACE(nPass == 0 ? "add" : "modify");
        std::string strSet;
        SetItem(pi, pc, L"id", L"1");
        const std::string strVarBinary = nPass == 0 ? strAll : std::string("\0\xff", 2);
        SetItem(pi, pc, L"vb", CHostBytes(strVarBinary));
        SetItem(pi, pc, L"bn", CHostBytes(std::string("\x01\x00\x02\x00", 4)));
        strSet += "vb = X'" + HexaOf(strVarBinary) + "', bn = X'01000200'";
        for (const STypeCase& c : kTypes) {
            SetItem(pi, pc, Wide(NameOf(c.pszColumn)).c_str(), nPass == 0 ? c.pszAdd : c.pszMod);
            strSet += ", " + NameOf(c.pszColumn) + " = " + (nPass == 0 ? c.pszAddSQL : c.pszModSQL);
        }
        for (const SMemoCase& c : kMemos) {
            const std::string strName = NameOf(c.pszColumn);
            const unsigned int nMemo = MemoNumber(piDescription, strName);
            std::wstring strText = nPass == 0 ? L"\u00e9\u20ac\u03a9\u4e2d\U0001F600 memo" : L"";
            if (strName == "st")
                strText = nPass == 0 ? L"x,z" : L"y";
            else if (strName == "en")
                strText = nPass == 0 ? L"\u00e9" : L"b";
            // A TINYBLOB holds 255 bytes at the most.
            const std::string strBinary = (strName == "tb" ? strAll.substr(0, 250) : strAll) + std::to_string(nPass);
            const std::string strBytes = c.bBinary ? strBinary : UTF8Of(strText);
            if (c.bFromFile) {
                const std::string strFile = clDir.Path() + "/" + strName + std::to_string(nPass);
                FILE* pf = std::fopen(strFile.c_str(), "wb");
                ASSERT_NE(pf, nullptr);
                std::fwrite(strBytes.data(), 1, strBytes.size(), pf);
                std::fclose(pf);
                ASSERT_EQ(pi->bHAttacheMemo(pc, nMemo, Wide(strFile).c_str()), 1) << Error(pi, pc);
            } else if (c.bBinary) {
                const CHostBytes v(strBytes);
                ASSERT_EQ(pi->bSetBLOB(pc, nMemo, &v), 1) << Error(pi, pc);
            } else {
                const CHostText v(strText);
                ASSERT_EQ(pi->bSetBLOB(pc, nMemo, &v), 1) << Error(pi, pc);
            }
            strSet += ", " + strName + " = X'" + HexaOf(strBytes) + "'";
        }
        if (nPass == 0) {
            ASSERT_EQ(pi->bHAjoute(pc, 0, kNoLock), 1) << Error(pi, pc);
            ASSERT_TRUE(Admin("INSERT INTO ref SET id = 1, " + strSet));
        } else {
            ASSERT_EQ(pi->bHModifie(pc, 0, 0, kNoLock), 1) << Error(pi, pc);
            ASSERT_TRUE(Admin("UPDATE ref SET " + strSet + " WHERE id = 1"));
        }
        std::vector<std::string> tabRead = {"HEX(vb)", "HEX(bn)"};
        for (const STypeCase& c : kTypes)
            tabRead.push_back(ReadOf(c));
        for (const SMemoCase& c : kMemos)
            tabRead.push_back("HEX(" + NameOf(c.pszColumn) + ")");
        for (const std::string& strRead : tabRead) {
            SCOPED_TRACE(strRead);
            const std::string strSelect = "SELECT IFNULL(" + strRead + ", 'NULL') FROM ";
            EXPECT_EQ(First(strSelect + "ty WHERE id = 1"), First(strSelect + "ref WHERE id = 1"));
        }
    }
    // Every column NULL but the key, read back the same way.
    for (const char* psz : {"vb", "bn"})
        SetItemNull(pi, pc, Wide(psz).c_str());
    for (const STypeCase& c : kTypes)
        SetItemNull(pi, pc, Wide(NameOf(c.pszColumn)).c_str());
    CAny clNull;
    clNull.__SetType(TQTYPE_DSTRW, 0);
    clNull.SetNullFlag(true);
    for (const SMemoCase& c : kMemos)
        ASSERT_EQ(pi->bSetBLOB(pc, MemoNumber(piDescription, NameOf(c.pszColumn)), &clNull), 1) << Error(pi, pc);
    ASSERT_EQ(pi->bHEcrit(pc, 0, 0, kNoLock), 1) << Error(pi, pc);
    std::string strAllNull = "id = 1";
    for (const STypeCase& c : kTypes)
        strAllNull += " AND " + NameOf(c.pszColumn) + " IS NULL";
    for (const SMemoCase& c : kMemos)
        strAllNull += " AND " + NameOf(c.pszColumn) + " IS NULL";
    EXPECT_EQ(First("SELECT COUNT(*) FROM ty WHERE vb IS NULL AND bn IS NULL AND " + strAllNull), "1");

    // Deleted: another connection finds nothing.
    ASSERT_EQ(pi->bHSupprime(pc, 0, kNoLock), 1) << Error(pi, pc);
    EXPECT_EQ(First("SELECT COUNT(*) FROM ty"), "0");
}

// ---- Writes, refusals, identifiers ---------------------------------------------------------------------------

TEST_F(TableWrite, AddModifyEcritDeleteAndTheRowDeletedHere)
{
    CHostContext* pc = Context(1);
    INATable* pi = Open(L"w", pc);
    ASSERT_NE(pi, nullptr);
    Fill(pi, pc, 1, 10, L"first", 100);
    ASSERT_EQ(pi->bHAjoute(pc, 0, kNoLock), 1) << Error(pi, pc);
    Fill(pi, pc, 2, 20, L"second", -1);
    ASSERT_EQ(pi->bHAjoute(pc, 0, kNoLock), 1) << Error(pi, pc);
    EXPECT_EQ(TableW(), (Rows{"1/10/first/100/NULL/NULL", "2/20/second/NULL/NULL/NULL"}));

    // bHModifie and bHEcrit write the same; a write that changes nothing
    // still succeeds.
    SetItem(pi, pc, L"txt", L"m");
    ASSERT_EQ(pi->bHModifie(pc, 0, 0, kNoLock), 1) << Error(pi, pc);
    const Rows tabModified = TableW();
    SetItem(pi, pc, L"txt", L"second");
    ASSERT_EQ(pi->bHModifie(pc, 0, 0, kNoLock), 1) << Error(pi, pc);
    SetItem(pi, pc, L"txt", L"m");
    ASSERT_EQ(pi->bHEcrit(pc, 0, 0, kNoLock), 1) << Error(pi, pc);
    EXPECT_EQ(TableW(), tabModified);
    EXPECT_EQ(tabModified, (Rows{"1/10/first/100/NULL/NULL", "2/20/m/NULL/NULL/NULL"}));
    ASSERT_EQ(pi->bHEcrit(pc, 0, 0, kNoLock), 1) << Error(pi, pc);
    EXPECT_EQ(ErrorOf(pi, pc)->dwGetErrorId(), 0u);
    EXPECT_EQ(TableW(), tabModified);

    // Deleted here, then modified: written again with its values, no error.
    ASSERT_EQ(pi->bHSupprime(pc, 0, kNoLock), 1) << Error(pi, pc);
    EXPECT_EQ(TableW(), Rows{"1/10/first/100/NULL/NULL"});
    ASSERT_EQ(pi->bHModifie(pc, 0, 0, kNoLock), 1) << Error(pi, pc);
    EXPECT_EQ(ErrorOf(pi, pc)->dwGetErrorId(), 0u) << Error(pi, pc);
    EXPECT_EQ(TableW(), tabModified);
    // A record number but 0 is refused before anything is sent.
    Sent();
    EXPECT_EQ(pi->bHModifie(pc, 3, 0, kNoLock), 0);
    EXPECT_EQ(ErrorOf(pi, pc)->dwGetErrorId(), static_cast<unsigned int>(ZTERR_RECORD_NUMBER));
    EXPECT_EQ(pi->bHSupprime(pc, 3, kNoLock), 0);
    EXPECT_EQ(ErrorOf(pi, pc)->dwGetErrorId(), static_cast<unsigned int>(ZTERR_RECORD_NUMBER));
    EXPECT_EQ(Sent(), Rows{});
}

class TableWriteDuplicates : public TableWrite, public testing::WithParamInterface<SDuplicateCase> {};

TEST_P(TableWriteDuplicates, TheRefusalNamesTheItemAndChangesNothing)
{
    const SDuplicateCase& c = GetParam();
    CHostContext* pc = Context(1);
    INATable* pi = Open(L"w", pc);
    ASSERT_NE(pi, nullptr);
    ASSERT_TRUE(Admin("INSERT INTO w VALUES (1, 10, 'one', 100, 5, 6)"));
    Fill(pi, pc, 2, 20, L"two", 200);
    ASSERT_EQ(pi->bHAjoute(pc, 0, kNoLock), 1) << Error(pi, pc);
    const Rows tabBefore = TableW();
    const int nOwn = Access(pi, pc)->nGetOwnRecordSave();
    const int nSaves = SaveReferences(pi, pc);
    if (!c.bModify)
        SetItem(pi, pc, L"id", L"3");
    SetItem(pi, pc, L"u1", std::to_wstring(c.nU1));
    if (c.nU2 < 0)
        SetItemNull(pi, pc, L"u2");
    else
        SetItem(pi, pc, L"u2", std::to_wstring(c.nU2));
    if (c.bComposite) {
        SetItem(pi, pc, L"ca", L"5");
        SetItem(pi, pc, L"cb", L"6");
    }
    const int bResult = c.bModify ? pi->bHModifie(pc, 0, 0, kNoLock) : pi->bHAjoute(pc, 0, kNoLock);
    EXPECT_EQ(bResult, 0);
    CNAError* pError = ErrorOf(pi, pc);
    EXPECT_EQ(pError->dwGetDataBaseErrorCode(), 1062u) << Error(pi, pc);
    EXPECT_EQ(pError->eGetErrorType(), NA_ERRORTYPE_DUPLICATE);
    EXPECT_EQ(Item(pi, pc), c.pszItem) << Error(pi, pc);
    EXPECT_EQ(Narrow(pError->pszGetLogicalTableName()), "w");
    EXPECT_EQ(TableW(), tabBefore);
    EXPECT_EQ(Access(pi, pc)->nGetOwnRecordSave(), nOwn);
    EXPECT_EQ(SaveReferences(pi, pc), nSaves);
}

INSTANTIATE_TEST_SUITE_P(Items, TableWriteDuplicates, testing::ValuesIn(kDuplicateCases), DuplicateCaseName);

TEST_F(TableWrite, ANotNullItemLeftUndefinedAndALockedRow)
{
    CHostContext* pc = Context(1);
    INATable* pi = Open(L"w", pc);
    ASSERT_NE(pi, nullptr);
    SetItem(pi, pc, L"id", L"1");
    SetItemNull(pi, pc, L"u1");
    EXPECT_EQ(pi->bHAjoute(pc, 0, kNoLock), 0);
    EXPECT_EQ(ErrorOf(pi, pc)->eGetErrorType(), NA_ERRORTYPE_NULLREFUSED) << Error(pi, pc);
    EXPECT_EQ(Item(pi, pc), "u1");
    EXPECT_EQ(TableW(), Rows{});

    Fill(pi, pc, 1, 10, L"a", -1);
    ASSERT_EQ(pi->bHAjoute(pc, 0, kNoLock), 1) << Error(pi, pc);
    CClientLibrary clHolder;
    std::string strError;
    ASSERT_TRUE(clHolder.bConnect(false, strError)) << strError;
    ASSERT_TRUE(clHolder.bHoldRows("SELECT id FROM `" + m_strDatabase + "`.w WHERE id = 1", strError)) << strError;
    const int nOwn = Access(pi, pc)->nGetOwnRecordSave();
    for (int nWrite = 0; nWrite < 2; nWrite++) {
        SCOPED_TRACE(nWrite);
        SetItem(pi, pc, L"txt", L"b");
        EXPECT_EQ(nWrite == 0 ? pi->bHModifie(pc, 0, 0, kNoLock) : pi->bHSupprime(pc, 0, kNoLock), 0);
        EXPECT_EQ(ErrorOf(pi, pc)->eGetErrorType(), NA_ERRORTYPE_LOCKTIMEOUT) << Error(pi, pc);
        EXPECT_EQ(ErrorOf(pi, pc)->dwGetDataBaseErrorCode(), 1205u);
        EXPECT_EQ(Access(pi, pc)->nGetOwnRecordSave(), nOwn);
    }
    ASSERT_TRUE(clHolder.bExecute("ROLLBACK", strError)) << strError;
    EXPECT_EQ(TableW(), Rows{"1/10/a/NULL/NULL/NULL"});
    // The data access goes on: the modify now passes.
    ASSERT_EQ(pi->bHModifie(pc, 0, 0, kNoLock), 1) << Error(pi, pc);
    EXPECT_EQ(TableW(), Rows{"1/10/b/NULL/NULL/NULL"});
}

TEST_F(TableWrite, AutomaticIdentifiersComeFromTheServer)
{
    CHostContext* pc = Context(1);
    INATable* pi = Open(L"a", pc);
    ASSERT_NE(pi, nullptr);
    ASSERT_TRUE(Admin("ALTER TABLE a AUTO_INCREMENT = 41"));
    for (int i = 0; i < 3; i++) {
        SCOPED_TRACE(i);
        SetItem(pi, pc, L"v", std::to_wstring(i));
        ASSERT_EQ(pi->bHAjoute(pc, 0, kNoLock), 1) << Error(pi, pc);
        EXPECT_EQ(Value(pi, pc, L"id"), First("SELECT MAX(id) FROM a"));
    }
    EXPECT_EQ(List("SELECT CONCAT(id, '/', v) FROM a ORDER BY id"), (Rows{"41/0", "42/1", "43/2"}));
    // The value the host reads in its record is a signed 8-byte integer.
    CNAKXRecord* pRecord = nullptr;
    ASSERT_EQ(pi->bGetRecord(pc, &pRecord), 1);
    INAItemDescription* piId = Description(pi)->piNAGetItem(L"id");
    ASSERT_NE(piId, nullptr);
    CAny v;
    pRecord->vGetItemValue(&v, piId, 0);
    EXPECT_EQ(v.nGetTypeCode(), TQTYPE_I8);
    long long ll = 0;
    EXPECT_EQ(v.nGetINT_64(&ll), 0);
    EXPECT_EQ(ll, 43);
    piId->nExternalRelease();
    pRecord->nRelease();
    // Asked for, a new identifier is MAX+1 rather than the server's counter.
    ASSERT_TRUE(Admin("ALTER TABLE a AUTO_INCREMENT = 100"));
    SetItem(pi, pc, L"v", L"7");
    ASSERT_EQ(pi->bHAjoute(pc, CNAStatement::WPF_AUTOID_NEW, kNoLock), 1) << Error(pi, pc);
    EXPECT_EQ(Value(pi, pc, L"id"), "44");
    EXPECT_EQ(First("SELECT v FROM a WHERE id = 44"), "7");
    // The record added is found again by the value the server gave.
    SetItem(pi, pc, L"v", L"8");
    ASSERT_EQ(pi->bHModifie(pc, 0, 0, kNoLock), 1) << Error(pi, pc);
    EXPECT_EQ(First("SELECT v FROM a WHERE id = 44"), "8");
}

// Every statement, command, filter and identifier object a run of writes
// and refusals makes is given back once the table is closed, and the
// record saves hold no more than the own one.
TEST_F(TableWrite, EverythingMadeIsGivenBackOnce)
{
    CHostContext* pc = Context(1);
    CHostContext* pcAuto = Context(1, 2);
    INATable* pi = Open(L"w", pc);
    INATable* piAuto = Open(L"a", pcAuto);
    ASSERT_TRUE(pi != nullptr && piAuto != nullptr);
    ASSERT_TRUE(Admin("INSERT INTO w VALUES (100, 1000, 'x', NULL, NULL, NULL)"));
    for (int i = 1; i <= 20; i++) {
        Fill(pi, pc, i, i * 10, L"t", i);
        ASSERT_EQ(pi->bHAjoute(pc, 0, kNoLock), 1) << Error(pi, pc);
        ASSERT_EQ(SaveReferences(pi, pc), 1) << "the own record save only";
        SetItem(pi, pc, L"txt", L"u");
        ASSERT_EQ(pi->bHModifie(pc, 0, 0, kNoLock), 1) << Error(pi, pc);
        // A refused duplicate probes with a scratch statement and a filter.
        SetItem(pi, pc, L"u1", L"1000");
        EXPECT_EQ(pi->bHModifie(pc, 0, 0, kNoLock), 0);
        EXPECT_EQ(Item(pi, pc), "u1");
        if (i % 2 == 0) {
            ASSERT_EQ(pi->bHSupprime(pc, 0, kNoLock), 1) << Error(pi, pc);
        }
        SetItem(piAuto, pcAuto, L"v", std::to_wstring(i));
        ASSERT_EQ(piAuto->bHAjoute(pcAuto, CNAStatement::WPF_AUTOID_NEW, kNoLock), 1) << Error(piAuto, pcAuto);
    }
    EXPECT_EQ(First("SELECT COUNT(*) FROM w"), "11");
    EXPECT_EQ(First("SELECT COUNT(*) FROM a"), "20");
    EXPECT_LE(SaveReferences(pi, pc), 1);
    EXPECT_GT(g_stFilters.nMade, 0);
    EXPECT_GT(g_stCommands.nMade, 40);
    EXPECT_EQ(g_stIdAuto.nMade, 1) << "one identifier object for the data access";
    // Before the close, no filter of a probe is kept.
    EXPECT_EQ(g_stFilters.nGone, g_stFilters.nMade);
    ASSERT_EQ(pi->bHFerme(pc), 1) << Error(pi, pc);
    ASSERT_EQ(piAuto->bHFerme(pcAuto), 1) << Error(piAuto, pcAuto);
    for (const SLive* p : {&g_stStatements, &g_stCommands, &g_stFilters, &g_stIdAuto})
        EXPECT_EQ(p->nGone, p->nMade) << (p == &g_stStatements ? "statements"
                                          : p == &g_stCommands ? "commands"
                                          : p == &g_stFilters  ? "filters"
                                                               : "identifier objects");
}


// Each write is one statement on the server: nothing asked before or after
// an add, a modify or a delete by key.
TEST_F(TableWrite, EachWriteSendsOneStatement)
{
    CHostContext* pc = Context(1);
    INATable* pi = Open(L"w", pc);
    ASSERT_NE(pi, nullptr);
    Sent();
    for (int i = 1; i <= 3; i++) {
        SCOPED_TRACE(i);
        Fill(pi, pc, i, i * 10, L"t", -1);
        ASSERT_EQ(pi->bHAjoute(pc, 0, kNoLock), 1) << Error(pi, pc);
        EXPECT_EQ(Sent().size(), 1u);
        SetItem(pi, pc, L"txt", L"u");
        ASSERT_EQ(pi->bHModifie(pc, 0, 0, kNoLock), 1) << Error(pi, pc);
        const Rows tabUpdate = Sent();
        ASSERT_EQ(tabUpdate.size(), 1u);
        EXPECT_EQ(tabUpdate[0], "UPDATE `w` SET `txt` = 'u' WHERE `id`=" + std::to_string(i));
        ASSERT_EQ(pi->bHSupprime(pc, 0, kNoLock), 1) << Error(pi, pc);
        EXPECT_EQ(Sent(), Rows{"DELETE FROM `w` WHERE `id`=" + std::to_string(i)});
    }
    EXPECT_EQ(TableW(), Rows{});
}


// A record deleted through the table and changed since: its modify finds
// the row gone and writes it again with the new values, no error left.
TEST_F(TableWrite, AChangedRecordDeletedHereIsWrittenAgain)
{
    CHostContext* pc = Context(1);
    INATable* pi = DeletedHere(pc);
    ASSERT_NE(pi, nullptr);
    ASSERT_EQ(TableW(), Rows{});
    SetItem(pi, pc, L"txt", L"again");
    Sent();
    ASSERT_EQ(pi->bHModifie(pc, 0, 0, kNoLock), 1) << Error(pi, pc);
    EXPECT_EQ(ErrorOf(pi, pc)->dwGetErrorId(), 0u) << Error(pi, pc);
    EXPECT_EQ(TableW(), Rows{"1/10/again/NULL/NULL/NULL"});
    const Rows tabSent = Sent();
    ASSERT_EQ(tabSent.size(), 2u);
    EXPECT_EQ(tabSent[0].compare(0, 7, "UPDATE "), 0) << tabSent[0];
    EXPECT_EQ(tabSent[1].compare(0, 12, "INSERT INTO "), 0) << tabSent[1];
}

// A record read, then another added without making it the record read:
// a modify or delete by record number 0 works on the one added, which
// the own record save holds.
TEST_F(TableWrite, AfterAnAddTheWriteGoesToTheRecordAdded)
{
    ASSERT_TRUE(Admin("INSERT INTO w (id, u1, txt) VALUES (1, 10, 'read')"));
    for (const bool bDelete : {false, true}) {
        SCOPED_TRACE(bDelete ? "delete" : "modify");
        CHostContext* pc = Context(1, bDelete ? 2 : 1);
        INATable* pi = Open(L"w", pc);
        ASSERT_NE(pi, nullptr);
        ASSERT_EQ(pi->bHLitxxx(pc, L"id", FIRST, 1, kNoLock, nullptr, 0), 1) << Error(pi, pc);
        ASSERT_EQ(Value(pi, pc, L"txt"), "read");
        Fill(pi, pc, 2, 20, L"added", -1);
        ASSERT_EQ(pi->bHAjoute(pc, 0, kNoLock), 1) << Error(pi, pc);
        SetItem(pi, pc, L"txt", L"changed");
        if (bDelete) {
            ASSERT_EQ(pi->bHSupprime(pc, 0, kNoLock), 1) << Error(pi, pc);
            EXPECT_EQ(TableW(), Rows{"1/10/read/NULL/NULL/NULL"});
        } else {
            ASSERT_EQ(pi->bHModifie(pc, 0, 0, kNoLock), 1) << Error(pi, pc);
            EXPECT_EQ(TableW(), (Rows{"1/10/read/NULL/NULL/NULL", "2/20/changed/NULL/NULL/NULL"}));
            ASSERT_TRUE(Admin("DELETE FROM w WHERE id = 2"));
        }
    }
}

// Only a unique item can be a duplicate, whatever the value.
TEST_F(TableWrite, AnItemThatIsNotUniqueIsNoDuplicate)
{
    CHostContext* pc = Context(1);
    INATable* pi = Open(L"w", pc);
    ASSERT_NE(pi, nullptr);
    ASSERT_TRUE(Admin("INSERT INTO w (id, u1, txt) VALUES (1, 10, 'same')"));
    Fill(pi, pc, 2, 10, L"same", -1);
    CNADataAccess* p = Access(pi, pc);
    CNARecord* pRecord = p->pclGetCurrentRecordNoRef();
    for (const int bForInsert : {1, 0}) {
        SCOPED_TRACE(bForInsert);
        EXPECT_EQ(p->bIsDuplicateItem(bForInsert, pRecord->pclGetColumnNoRef(L"txt")), 0);
        // u1 was set since the record was read: a modify tests it too.
        EXPECT_EQ(p->bIsDuplicateItem(bForInsert, pRecord->pclGetColumnNoRef(L"u1")), 1);
    }
    // Read and left as read, u1 is no duplicate for a modify: the row
    // holding the value is the record itself. An add would repeat it.
    ASSERT_EQ(pi->bHLitxxx(pc, L"id", FIRST, 1, kNoLock, nullptr, 0), 1) << Error(pi, pc);
    EXPECT_EQ(p->bIsDuplicateItem(0, pRecord->pclGetColumnNoRef(L"u1")), 0);
    EXPECT_EQ(p->bIsDuplicateItem(1, pRecord->pclGetColumnNoRef(L"u1")), 1);
}

// The identifier's values leave no internal query open between calls.
class COpenQueries : public CNAIDAuto {
public:
    bool bNoneOpen() const { return m_pclNextValueQuery == nullptr && m_pclMaxCurrentValueQuery == nullptr; }
};

TEST_F(TableWrite, NoIdentifierQueryStaysOpen)
{
    CHostContext* pc = Context(1);
    INATable* pi = Open(L"a", pc);
    ASSERT_NE(pi, nullptr);
    ASSERT_TRUE(Admin("INSERT INTO a VALUES (41, 0)"));
    CNADataAccess* p = Access(pi, pc);
    CNAColumn* pId = p->pclGetCurrentRecordNoRef()->pclGetColumnNoRef(L"id");
    COpenQueries* pAuto = new COpenQueries;
    pAuto->AddRef();
    for (int i = 0; i < 2; i++) {
        CAny v;
        ASSERT_EQ(pAuto->bGetNextValue(p, pId, ErrorOf(pi, pc), &v), 1) << Error(pi, pc);
        EXPECT_TRUE(pAuto->bNoneOpen());
        ASSERT_EQ(pAuto->bGetMaxCurrentValue(p, pId, ErrorOf(pi, pc), &v), 1) << Error(pi, pc);
        EXPECT_TRUE(pAuto->bNoneOpen());
        long long ll = 0;
        EXPECT_EQ(v.nGetINT_64(&ll), 0);
        EXPECT_EQ(ll, 41);
    }
    EXPECT_EQ(pAuto->nRelease(), 0u);
}


// A record deleted through the table whose row another connection has
// written again and holds: the modify times out and nothing more is sent,
// the INSERT that follows a row gone least of all.
TEST_F(TableWrite, ADeletedRecordWhoseRowIsHeldElsewhereIsNotInsertedAfterATimeOut)
{
    CHostContext* pc = Context(1);
    INATable* pi = DeletedHere(pc);
    ASSERT_NE(pi, nullptr);
    CClientLibrary clHolder;
    std::string strError;
    ASSERT_TRUE(clHolder.bConnect(false, strError)) << strError;
    ASSERT_TRUE(clHolder.bExecute("START TRANSACTION", strError)) << strError;
    ASSERT_TRUE(clHolder.bExecute("INSERT INTO `" + m_strDatabase + "`.w (id, u1, txt) VALUES (1, 11, 'held')",
                                  strError))
        << strError;
    SetItem(pi, pc, L"txt", L"b");
    Sent();
    EXPECT_EQ(pi->bHModifie(pc, 0, 0, kNoLock), 0);
    EXPECT_EQ(ErrorOf(pi, pc)->eGetErrorType(), NA_ERRORTYPE_LOCKTIMEOUT) << Error(pi, pc);
    const Rows tabSent = Sent();
    ASSERT_EQ(tabSent.size(), 1u) << testing::PrintToString(tabSent);
    EXPECT_EQ(tabSent[0].compare(0, 7, "UPDATE "), 0) << tabSent[0];
    ASSERT_TRUE(clHolder.bExecute("ROLLBACK", strError)) << strError;
    EXPECT_EQ(TableW(), Rows{});
}

} // namespace
