// The data access's operations on the table as a whole, off the server:
// create-when-missing, create, drop and delete-all over scripted workers
// (what each asks, the opened and compatible flags, level 2 on failure),
// whether the table exists over a scripted database description, and the
// writes a query sent without correction refuses.
#include "access/driver/NADataSourceDescription.h"
#include "access/driver/NAError.h"
#include "access/sql/NACommand.h"
#include "access/statement/NAColumn.h"
#include "access/statement/NARecord.h"
#include "access/table/NADataAccess.h"
#include "common/platform/MyModuleInfo.h"
#include "common/platform/XError.h"
#include "tests/support/TableScope.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace {

typedef std::vector<std::string> Calls;

// What the workers answer; -1 lets the data access's own operation run.
struct SScript {
    int bExistsAnswer = -1;
    int bExists = 0;
    int bCompatible = 0;
    int bOpenAnswer = -1;
    int bCreationAnswer = 1;
    int bDeleteAllAnswer = 1;
    int bInitAnswer = 1;
    // The database's description handed to bFichierExiste, and whether a
    // failed read leaves an error.
    CNADataSourceDescription* pDatabase = nullptr;
    bool bReadError = false;
};

class CScripted : public CNADataAccess {
public:
    CScripted(INADataSourceDescription* pi, CNAConnectionDescription* pcl, CNAError* pe, SScript* pst)
        : CNADataAccess(pi, pcl, pe), m_pst(pst)
    {
    }
    // A failing worker leaves its error, as the real ones do.
    int Answer(const std::string& strCall, int bAnswer)
    {
        m_tabCalls.push_back(strCall);
        if (!bAnswer)
            m_pclError->AddError(NA_ERRORTYPE_GENERAL, ZTERR_NOT_OFFERED, 3, 98, nullptr);
        return bAnswer;
    }
    int bFichierExiste(int* pbExists, int* pbCompatible) override
    {
        if (m_pst->bExistsAnswer < 0)
            return CNADataAccess::bFichierExiste(pbExists, pbCompatible);
        *pbExists = m_pst->bExists;
        *pbCompatible = m_pst->bCompatible;
        return Answer("exists", m_pst->bExistsAnswer);
    }
    int bHOuvre(eNA_ACCESS e, const wchar_t* psz) override
    {
        if (m_pst->bOpenAnswer < 0)
            return CNADataAccess::bHOuvre(e, psz);
        return Answer("open", m_pst->bOpenAnswer);
    }
    int _bHCreation(int bDrop, int bCreate) override
    {
        return Answer("creation drop " + std::to_string(bDrop) + " create " + std::to_string(bCreate),
                      m_pst->bCreationAnswer);
    }
    int _bSupprimeTout() override { return Answer("delete all", m_pst->bDeleteAllAnswer); }
    int _bInitCurrentRecord() override { return Answer("record", m_pst->bInitAnswer); }
    CNADataSourceDescription* pclGetDataSourceDescriptionFromDB(const wchar_t* pszName, int n) override
    {
        m_tabCalls.push_back("read " + std::string(pszName != nullptr && pszName[0] == L'T' ? "T" : "?") + " " +
                             std::to_string(n));
        if (m_pst->pDatabase == nullptr) {
            if (m_pst->bReadError)
                m_pclError->AddError(NA_ERRORTYPE_GENERAL, ZTERR_NOT_OFFERED, 101, 5, nullptr);
            return nullptr;
        }
        m_pst->pDatabase->AddRef();
        return m_pst->pDatabase;
    }
    eNA_ERRORTYPE eGetNAErrorType() override { return m_eKind; }
    void SetOpened(int b) { m_bOpened = b; }
    eNA_ERRORTYPE m_eKind = NA_ERRORTYPE_GENERAL;
    int bCompatible() const { return m_bCompatible; }
    void SetQuerySource(unsigned int eMode)
    {
        m_bSourceIsQuery = 1;
        m_eQueryMode = eMode;
    }

    Calls m_tabCalls;

private:
    SScript* m_pst;
};

class NADataAccessFiles : public testing::Test, protected CTableScope {
protected:
    void SetUp() override
    {
        m_pTable->Add(L"X", NA_IT_I4, 4, CTestTable::DUPLICATES);
        m_pAccess = new CScripted(m_pTable->Get(), m_pCnx, m_pError, &m_st);
        m_pAccess->AddRef();
    }
    void TearDown() override { m_pAccess->nRelease(); }
    int Level() { return m_pError->eGetErrorLevel(); }

    SScript m_st;
    CScripted* m_pAccess = nullptr;
};

} // namespace

TEST_F(NADataAccessFiles, CreationWhenMissing)
{
    struct SRow {
        const char* pszCase;
        int bExistsAnswer, bExists, bCompatible, bOpenAnswer, bCreationAnswer;
        Calls tabCalls;
        int bResult, bCompatibleAfter, bOpened;
        bool bEarlierErrorKept;
    };
    const std::vector<SRow> aRows = {
        {"there and alike", 1, 1, 1, 1, 1, {"exists", "open"}, 1, 1, 0, true},
        {"there, unlike", 1, 1, 0, 1, 1, {"exists", "open"}, 1, 0, 0, true},
        {"there, its opening refused", 1, 1, 1, 0, 1, {"exists", "open"}, 0, 1, 0, true},
        {"missing", 1, 0, 1, 1, 1, {"exists", "creation drop 0 create 1", "record"}, 1, 0, 1, false},
        {"unreadable", 0, 0, 1, 1, 1, {"exists", "creation drop 0 create 1", "record"}, 1, 0, 1, false},
        {"missing, its creation refused", 1, 0, 0, 1, 0, {"exists", "creation drop 0 create 1"}, 0, 0, 0, false},
    };
    for (const SRow& r : aRows) {
        SCOPED_TRACE(r.pszCase);
        m_pAccess->m_tabCalls.clear();
        m_pAccess->SetOpened(0);
        m_st.bExistsAnswer = r.bExistsAnswer;
        m_st.bExists = r.bExists;
        m_st.bCompatible = r.bCompatible;
        m_st.bOpenAnswer = r.bOpenAnswer;
        m_st.bCreationAnswer = r.bCreationAnswer;
        m_pError->Reset();
        m_pError->AddError(NA_ERRORTYPE_GENERAL, ZTERR_NO_MEMORY, 3, 97, nullptr);
        EXPECT_EQ(m_pAccess->bHCreationSiInexistant(static_cast<eNA_ACCESS>(0), L"pw"), r.bResult);
        EXPECT_EQ(m_pAccess->m_tabCalls, r.tabCalls);
        EXPECT_EQ(m_pAccess->bCompatible(), r.bCompatibleAfter);
        EXPECT_EQ(m_pAccess->bIsOpened(), r.bOpened);
        if (!r.bResult) {
            EXPECT_EQ(Level(), NA_ERRORLEVEL_2);
        }
        // The error held before the creation is reset; an open keeps it.
        const bool bKept = m_pError->pclGetXError()->nNumErrorId() > 0 &&
                           m_pError->pclGetXError()->pszGetDebugMessage() != nullptr &&
                           std::wstring(m_pError->pclGetXError()->pszGetDebugMessage()).find(L"=3.97") !=
                               std::wstring::npos;
        EXPECT_EQ(bKept, r.bEarlierErrorKept);
    }
}

TEST_F(NADataAccessFiles, CreationDropAndDeleteAll)
{
    struct SRow {
        const char* pszCase;
        std::function<int()> call;
        int bWorker;
        Calls tabCalls;
        int bResult, bOpened;
    };
    const std::vector<SRow> aRows = {
        {"creation", [&] { return m_pAccess->bHCreation(L"pw", 1); }, 1, {"creation drop 1 create 1", "record"}, 1, 1},
        {"creation refused", [&] { return m_pAccess->bHCreation(L"pw", 0); }, 0, {"creation drop 0 create 1"}, 0, 0},
        {"drop", [&] { return m_pAccess->bSupprimeFichier(); }, 1, {"creation drop 1 create 0"}, 1, 0},
        {"drop refused", [&] { return m_pAccess->bSupprimeFichier(); }, 0, {"creation drop 1 create 0"}, 0, 1},
        {"delete all", [&] { return m_pAccess->bSupprimeTout(); }, 1, {"delete all"}, 1, 0},
        {"delete all refused", [&] { return m_pAccess->bSupprimeTout(); }, 0, {"delete all"}, 0, 1},
    };
    for (const SRow& r : aRows) {
        SCOPED_TRACE(r.pszCase);
        m_pAccess->m_tabCalls.clear();
        m_pAccess->SetOpened(r.bResult ? 1 - r.bOpened : r.bOpened);
        m_st.bCreationAnswer = m_st.bDeleteAllAnswer = r.bWorker;
        m_pError->Reset();
        EXPECT_EQ(r.call(), r.bResult);
        EXPECT_EQ(m_pAccess->m_tabCalls, r.tabCalls);
        EXPECT_EQ(m_pAccess->bIsOpened(), r.bOpened);
        EXPECT_EQ(Level(), r.bResult ? NA_ERRORLEVEL_NOERROR : NA_ERRORLEVEL_2);
    }
    // Already opened: 1 at once, nothing asked.
    m_pAccess->SetOpened(1);
    m_pAccess->m_tabCalls.clear();
    EXPECT_EQ(m_pAccess->bHOuvre(static_cast<eNA_ACCESS>(0), nullptr), 1);
    EXPECT_TRUE(m_pAccess->m_tabCalls.empty());
}

// Whether the table exists: user error 15 when nothing explains the
// failure, message 28541 first before an error that does; the database's
// description becomes the imported one.
TEST_F(NADataAccessFiles, ExistenceOverTheDatabasesDescription)
{
    int bExists = -1, bCompatible = -1;
    m_pError->Reset();
    EXPECT_EQ(m_pAccess->bFichierExiste(&bExists, &bCompatible), 0);
    EXPECT_EQ(bExists, 0);
    EXPECT_EQ(bCompatible, 0);
    EXPECT_EQ(m_pAccess->m_tabCalls, Calls{"read T 1"});
    EXPECT_EQ(m_pError->dwGetErrorId(), static_cast<unsigned int>(ZTERR_DESCRIPTION_UNREADABLE));
    EXPECT_STREQ(m_pError->pszGetLogicalTableName(), L"T");
    EXPECT_NE(std::wstring(m_pError->pclGetXError()->pszGetDebugMessage()).find(L"=3.12\r\n"), std::wstring::npos);

    // A server's error held: it stays, the module's message first.
    m_st.bReadError = true;
    m_pError->Reset();
    bExists = bCompatible = -1;
    EXPECT_EQ(m_pAccess->bFichierExiste(&bExists, nullptr), 0);
    EXPECT_EQ(bExists, 0);
    EXPECT_EQ(bCompatible, -1) << "not asked for";
    EXPECT_EQ(m_pError->dwGetErrorId(), static_cast<unsigned int>(ZTERR_NOT_OFFERED));
    const std::wstring strMessage = m_pError->pclGetXError()->pszGetUserMessage();
    EXPECT_EQ(strMessage.find(L"The description of \"T\" cannot be read."), 0u) << strMessage.size();

    // Found: exists, compatible as the descriptions say, imported.
    CTestTable clDatabase(m_pError, m_pCnx);
    clDatabase.Add(L"X", NA_IT_I4, 4, CTestTable::DUPLICATES);
    m_st.pDatabase = clDatabase.Get();
    m_pError->Reset();
    bExists = bCompatible = -1;
    EXPECT_EQ(m_pAccess->bFichierExiste(&bExists, &bCompatible), 1);
    EXPECT_EQ(bExists, 1);
    EXPECT_EQ(bCompatible, clDatabase->bAreDescriptionCompatible(m_pTable->Get()));
    EXPECT_EQ(m_pAccess->pclGetImportedDataSourceDescNoRef(), clDatabase.Get());
    bExists = -1;
    EXPECT_EQ(m_pAccess->bFichierExiste(&bExists, nullptr), 1);
    EXPECT_EQ(bExists, 1);
    m_pAccess->_SetImportedDataSourceDesc(nullptr);
}

// A query sent as written refuses the writes before any text is built.
TEST_F(NADataAccessFiles, AQueryWithoutCorrectionRefusesWrites)
{
    m_pAccess->SetQuerySource(0x4);
    for (int eType : {2, 3, 4}) {
        SCOPED_TRACE(eType);
        m_pError->Reset();
        EXPECT_EQ(m_pAccess->_bOperation(nullptr, eType, 0, nullptr), 0);
        EXPECT_EQ(m_pError->dwGetErrorId(), static_cast<unsigned int>(ZTERR_WITHOUT_CORRECTION));
        EXPECT_STREQ(m_pError->pszGetLogicalTableName(), L"T");
        EXPECT_NE(std::wstring(m_pError->pclGetXError()->pszGetDebugMessage()).find(L"=3.16\r\n"),
                  std::wstring::npos);
    }
}

// Writes before the table is open: no current record, nothing written.
TEST_F(NADataAccessFiles, NoWriteWithoutACurrentRecord)
{
    const eNA_LOCKTYPE eNoLock = static_cast<eNA_LOCKTYPE>(0);
    for (int i = 0; i < 3; i++) {
        SCOPED_TRACE(i);
        m_pError->Reset();
        const int bResult = i == 0   ? m_pAccess->bHAjoute(0, eNoLock)
                            : i == 1 ? m_pAccess->bHModifie(0, 0, eNoLock)
                                     : m_pAccess->bHSupprime(0, eNoLock);
        EXPECT_EQ(bResult, 0);
        EXPECT_EQ(m_pError->dwGetErrorId(), static_cast<unsigned int>(ZTERR_NO_CURRENT_RECORD));
    }
}

TEST_F(NADataAccessFiles, NoIndexWithoutACurrentRecord)
{
    EXPECT_EQ(m_pAccess->_bCreateIndex(nullptr, 3), 0);
}

// The kinds a refused write leaves: the connection's kind set where the
// host knows it, nothing else; every refusal answers 0.
TEST_F(NADataAccessFiles, RefusalsRefinedByKind)
{
    const int aKept[] = {-1, 1, 2, 3, 4, -1, -1, 7, 8, -1, -1};
    for (int nKind = 0; nKind <= 10; nKind++) {
        SCOPED_TRACE(nKind);
        m_pError->Reset();
        m_pError->AddError(NA_ERRORTYPE_GENERAL, ZTERR_NOT_OFFERED, 100, 1, nullptr);
        m_pError->SetErrorType(NA_ERRORTYPE_NONE);
        m_pAccess->m_eKind = static_cast<eNA_ERRORTYPE>(nKind);
        EXPECT_EQ(m_pAccess->_bProcessError(nullptr, nullptr, 3, 0), 0);
        EXPECT_EQ(m_pError->eGetErrorType(), aKept[nKind]);
    }
}

// A refused CREATE TABLE on a connection whose text types have no maximum
// is not sent again: the statement is never asked.
TEST_F(NADataAccessFiles, ACreationRefusedWithoutTextMaximaIsNotRetried)
{
    CTestConnection* pGeneric = new CTestConnection(1252, 1252, CNAConnectionDescription::DS_GENERIC);
    pGeneric->AddRef();
    ASSERT_EQ(pGeneric->nGetVarCharMaxLen(), -1);
    ASSERT_EQ(pGeneric->nGetNVarCharMaxLen(), -1);
    CScripted* pAccess = new CScripted(m_pTable->Get(), pGeneric, m_pError, &m_st);
    pAccess->AddRef();
    CNACommand* pCommand = pAccess->pclAllocCommand(m_pError);
    ASSERT_NE(pCommand, nullptr);
    pCommand->AddRef();
    ASSERT_EQ(pCommand->bComplete(L"CREATE TABLE T ( a VARCHAR(70000) )", static_cast<unsigned int>(-1)), 1);
    m_pError->Reset();
    m_pError->AddError(NA_ERRORTYPE_GENERAL, ZTERR_NOT_OFFERED, 100, 1, nullptr);
    EXPECT_EQ(pAccess->_bProcessError(pCommand, nullptr, 6, 0), 0);
    EXPECT_EQ(m_pError->dwGetErrorId(), static_cast<unsigned int>(ZTERR_NOT_OFFERED));
    pCommand->nRelease();
    pAccess->nRelease();
    pGeneric->nRelease();
}

// A connection whose index names are shared by the whole database.
class CSharedIndexNames : public CTestConnection {
public:
    CSharedIndexNames() : CTestConnection(1252, 1252, DS_MYSQL) {}
    int bIndexNamesCommonOnDatabase() override { return 1; }
};

TEST_F(NADataAccessFiles, IndexNames)
{
    m_pTable->Add(L"A", NA_IT_I4, 4);
    m_pTable->Add(L"B", NA_IT_I4, 4);
    m_pTable->AddComposite(L"K", CTestTable::UNIQUE, {L"A", L"B"});
    CNARecord* pRecord = m_pTable->NewRecord(m_pError, m_pCnx);
    ASSERT_NE(pRecord, nullptr);
    CNAColumn* pK = pRecord->pclGetColumnNoRef(L"K");
    CNAColumn* pX = pRecord->pclGetColumnNoRef(L"X");
    ASSERT_NE(pK, nullptr);
    ASSERT_NE(pX, nullptr);
    // A composite key: its own formatted name.
    CTString csName;
    EXPECT_EQ(m_pAccess->_bGetUniqueIndexName(pK, &csName), 1);
    EXPECT_STREQ(csName.pszGet(), pK->pszGetFormatedName());
    EXPECT_NE(std::wstring(csName.pszGet()).find(L"K"), std::wstring::npos);
    // Names shared by the database: the table's, "_", the key's, as an item name.
    CSharedIndexNames* pShared = new CSharedIndexNames;
    pShared->AddRef();
    CScripted* pAccess = new CScripted(m_pTable->Get(), pShared, m_pError, &m_st);
    pAccess->AddRef();
    CTString csExpected;
    ASSERT_EQ(pShared->bFormatItemName(m_pError, L"T_K", &csExpected), 1);
    EXPECT_EQ(pAccess->_bGetUniqueIndexName(pK, &csName), 1);
    EXPECT_STREQ(csName.pszGet(), csExpected.pszGet());
    // Any other column: a generated name, the counter going up.
    CTString csFirst, csSecond;
    EXPECT_EQ(pAccess->_bGetUniqueIndexName(pX, &csFirst), 1);
    EXPECT_EQ(m_pAccess->_bGetUniqueIndexName(pX, &csSecond), 1);
    const std::wstring strFirst = csFirst.pszGet(), strSecond = csSecond.pszGet();
    ASSERT_EQ(strFirst.compare(0, 5, L"ZTIDX"), 0);
    ASSERT_GE(strFirst.size(), 16u);
    EXPECT_EQ(std::stol(strSecond.substr(15)), std::stol(strFirst.substr(15)) + 1);
    pAccess->nRelease();
    pShared->nRelease();
    pRecord->nRelease();
}
