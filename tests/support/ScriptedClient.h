// A scripted client for the MySQL direct SQL statement: the client function
// pointers are set to functions of the test program that answer from a
// script and record the calls, and a fixture holds a statement on it.
#pragma once

#include "mysql/MySQLStatementSQL.h"

#include "access/driver/NAError.h"
#include "access/statement/NAColumn.h"
#include "common/values/Any.h"
#include "mysql/MySQLConnection.h"
#include "mysql/MySQLDriver.h"
#include "mysql/MySQLDriverSQL.h"
#include "tests/support/ValueCells.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <deque>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

// The installed client library's field record is the 84-byte layout the
// statement reads.
static_assert(sizeof(void*) != 4 || sizeof(MYSQL_FIELD) == 84, "field record size");
static_assert(sizeof(void*) != 4 || offsetof(MYSQL_FIELD, name) == 0, "name");
static_assert(sizeof(void*) != 4 || offsetof(MYSQL_FIELD, org_name) == 4, "org_name");
static_assert(sizeof(void*) != 4 || offsetof(MYSQL_FIELD, org_table) == 12, "org_table");
static_assert(sizeof(void*) != 4 || offsetof(MYSQL_FIELD, length) == 28, "length");
static_assert(sizeof(void*) != 4 || offsetof(MYSQL_FIELD, max_length) == 32, "max_length");
static_assert(sizeof(void*) != 4 || offsetof(MYSQL_FIELD, flags) == 64, "flags");
static_assert(sizeof(void*) != 4 || offsetof(MYSQL_FIELD, decimals) == 68, "decimals");
static_assert(sizeof(void*) != 4 || offsetof(MYSQL_FIELD, charsetnr) == 72, "charsetnr");
static_assert(sizeof(void*) != 4 || offsetof(MYSQL_FIELD, type) == 76, "type");

namespace {

// ---- The scripted client -------------------------------------------------------------------------

struct FakeField {
    const char* pszName;
    unsigned int nType;
    unsigned int nLength;
    unsigned int nMaxLength;
    unsigned int nDecimals;
    unsigned int nCharset;
    unsigned int nFlags;
    const char* pszOrgName;
    const char* pszOrgTable;
};

// One answer of a reply: a result set, a statement without one, or a
// failed statement (nErrno).
struct FakeAnswer {
    bool bResultSet = false;
    unsigned int nErrno = 0;
    std::vector<FakeField> tabField;
    std::vector<std::vector<std::string>> tabRow;
    std::vector<std::vector<bool>> tabNull;
};

struct FakeReply {
    int nQueryAnswer = 0;
    unsigned int nQueryErrno = 0;
    std::deque<FakeAnswer> tabAnswer;
    size_t nPosition = 0; // the answer the handle stands on
};

// Field record offsets of each layout, as the client library versions
// wrote them: size, name, type, length, max_length, decimals, charset,
// flags, org_name, org_table (-1: none).
struct Layout {
    unsigned int nSize;
    int nName, nType, nLength, nMaxLength, nDecimals, nCharset, nFlags, nOrgName, nOrgTable;
};
const Layout LAYOUT_32 = {32, 0, 12, 16, 20, 28, -1, -1, -1, -1};
const Layout LAYOUT_40 = {40, 0, 36, 20, 24, 32, -1, -1, -1, -1};
const Layout LAYOUT_80 = {80, 0, 76, 28, 32, 68, 72, 64, 4, 12};
const Layout LAYOUT_84 = {84, 0, 76, 28, 32, 68, 72, 64, 4, 12};

struct FakeResult {
    FakeAnswer clAnswer;
    std::vector<unsigned char> tabFieldBytes;
    size_t nNextRow = 0;
    std::vector<char*> tabRowPointers;
    std::vector<unsigned long> tabLengths;
};

struct FakeClient {
    std::deque<FakeReply> tabReply;
    FakeReply clCurrent;
    unsigned int nErrno = 0;
    Layout stLayout = LAYOUT_84;
    std::set<std::string> tabThrowing;
    // Throws at the nth call of a name (from 1), counted from the script's start.
    std::map<std::string, int> tabThrowingAtCall;
    std::vector<std::string> tabCalls;
    std::vector<std::string> tabQueries;
    int nResultsMade = 0;
    int nResultsFreed = 0;
    unsigned long long nAffected = 0;
    unsigned long long nSeek = 0;
    std::vector<std::unique_ptr<FakeResult>> tabLive;
};

FakeClient* g_pFake = nullptr;
MYSQL* const FAKE_HANDLE = reinterpret_cast<MYSQL*>(0x1000);

void Enter(const char* pszName)
{
    g_pFake->tabCalls.push_back(pszName);
    if (g_pFake->tabThrowing.count(pszName) != 0)
        throw 1;
    const auto it = g_pFake->tabThrowingAtCall.find(pszName);
    if (it != g_pFake->tabThrowingAtCall.end() &&
        std::count(g_pFake->tabCalls.begin(), g_pFake->tabCalls.end(), pszName) == it->second)
        throw 1;
}

void PutWord(std::vector<unsigned char>& tab, size_t nBase, int nOffset, unsigned int n)
{
    if (nOffset >= 0)
        std::memcpy(&tab[nBase + static_cast<size_t>(nOffset)], &n, sizeof(n));
}

void PutText(std::vector<unsigned char>& tab, size_t nBase, int nOffset, const char* psz)
{
    if (nOffset >= 0)
        std::memcpy(&tab[nBase + static_cast<size_t>(nOffset)], &psz, sizeof(psz));
}

MYSQL_RES* MakeResult(const FakeAnswer& cl)
{
    std::unique_ptr<FakeResult> p(new FakeResult);
    p->clAnswer = cl;
    const Layout& st = g_pFake->stLayout;
    p->tabFieldBytes.assign(st.nSize * (cl.tabField.size() + 1), 0xEE);
    for (size_t i = 0; i < cl.tabField.size(); i++) {
        const FakeField& f = p->clAnswer.tabField[i];
        const size_t nBase = i * st.nSize;
        PutText(p->tabFieldBytes, nBase, st.nName, f.pszName);
        PutWord(p->tabFieldBytes, nBase, st.nType, f.nType);
        PutWord(p->tabFieldBytes, nBase, st.nLength, f.nLength);
        PutWord(p->tabFieldBytes, nBase, st.nMaxLength, f.nMaxLength);
        PutWord(p->tabFieldBytes, nBase, st.nDecimals, f.nDecimals);
        PutWord(p->tabFieldBytes, nBase, st.nCharset, f.nCharset);
        PutWord(p->tabFieldBytes, nBase, st.nFlags, f.nFlags);
        PutText(p->tabFieldBytes, nBase, st.nOrgName, f.pszOrgName);
        PutText(p->tabFieldBytes, nBase, st.nOrgTable, f.pszOrgTable);
    }
    g_pFake->nResultsMade++;
    g_pFake->tabLive.push_back(std::move(p));
    return reinterpret_cast<MYSQL_RES*>(g_pFake->tabLive.back().get());
}

FakeResult* Result(MYSQL_RES* p)
{
    return reinterpret_cast<FakeResult*>(p);
}

// The answer the handle stands on, taken as store or use would.
MYSQL_RES* TakeAnswer()
{
    FakeReply& cl = g_pFake->clCurrent;
    if (cl.nPosition >= cl.tabAnswer.size()) {
        g_pFake->nErrno = 0;
        return nullptr;
    }
    const FakeAnswer& clAnswer = cl.tabAnswer[cl.nPosition];
    g_pFake->nErrno = clAnswer.bResultSet ? 0 : clAnswer.nErrno;
    return clAnswer.bResultSet ? MakeResult(clAnswer) : nullptr;
}

int Fake_real_query(MYSQL*, const char* q, unsigned long n)
{
    Enter("real_query");
    g_pFake->tabQueries.push_back(std::string(q, n));
    if (g_pFake->tabReply.empty()) {
        g_pFake->nErrno = 2014;
        return 1;
    }
    g_pFake->clCurrent = g_pFake->tabReply.front();
    g_pFake->tabReply.pop_front();
    g_pFake->nErrno = g_pFake->clCurrent.nQueryErrno;
    return g_pFake->clCurrent.nQueryAnswer;
}

MYSQL_RES* Fake_store_result(MYSQL*)
{
    Enter("store_result");
    return TakeAnswer();
}

MYSQL_RES* Fake_use_result(MYSQL*)
{
    Enter("use_result");
    return TakeAnswer();
}

int Fake_next_result(MYSQL*)
{
    Enter("next_result");
    FakeReply& cl = g_pFake->clCurrent;
    g_pFake->nErrno = 0;
    if (cl.nPosition + 1 >= cl.tabAnswer.size()) {
        cl.nPosition = cl.tabAnswer.size();
        return -1;
    }
    cl.nPosition++;
    const FakeAnswer& clAnswer = cl.tabAnswer[cl.nPosition];
    if (!clAnswer.bResultSet && clAnswer.nErrno != 0) {
        // A failed statement ends the reply.
        g_pFake->nErrno = clAnswer.nErrno;
        cl.nPosition = cl.tabAnswer.size();
        return 1;
    }
    return 0;
}

void Fake_free_result(MYSQL_RES* p)
{
    Enter("free_result");
    for (auto it = g_pFake->tabLive.begin(); it != g_pFake->tabLive.end(); ++it) {
        if (it->get() == Result(p)) {
            g_pFake->tabLive.erase(it);
            g_pFake->nResultsFreed++;
            return;
        }
    }
    ADD_FAILURE() << "a result freed twice or never made";
}

unsigned int Fake_errno(MYSQL*)
{
    Enter("errno");
    return g_pFake->nErrno;
}

const char* Fake_error(MYSQL*)
{
    Enter("error");
    return "scripted error";
}

unsigned int Fake_num_fields(MYSQL_RES* p)
{
    Enter("num_fields");
    return static_cast<unsigned int>(Result(p)->clAnswer.tabField.size());
}

my_ulonglong Fake_num_rows(MYSQL_RES* p)
{
    Enter("num_rows");
    return Result(p)->clAnswer.tabRow.size();
}

MYSQL_FIELD* Fake_fetch_fields(MYSQL_RES* p)
{
    Enter("fetch_fields");
    return reinterpret_cast<MYSQL_FIELD*>(Result(p)->tabFieldBytes.data());
}

MYSQL_ROW Fake_fetch_row(MYSQL_RES* p)
{
    Enter("fetch_row");
    FakeResult* r = Result(p);
    if (r->nNextRow >= r->clAnswer.tabRow.size())
        return nullptr;
    std::vector<std::string>& row = r->clAnswer.tabRow[r->nNextRow];
    r->tabRowPointers.assign(row.size(), nullptr);
    r->tabLengths.assign(row.size(), 0);
    for (size_t i = 0; i < row.size(); i++) {
        const bool bNull = r->clAnswer.tabNull.size() > r->nNextRow && r->clAnswer.tabNull[r->nNextRow].size() > i &&
                           r->clAnswer.tabNull[r->nNextRow][i];
        r->tabRowPointers[i] = bNull ? nullptr : &row[i][0];
        r->tabLengths[i] = bNull ? 0 : row[i].size();
    }
    r->nNextRow++;
    return r->tabRowPointers.data();
}

unsigned long* Fake_fetch_lengths(MYSQL_RES* p)
{
    Enter("fetch_lengths");
    return Result(p)->tabLengths.data();
}

void Fake_data_seek(MYSQL_RES* p, unsigned long long n)
{
    Enter("data_seek");
    g_pFake->nSeek = n;
    Result(p)->nNextRow = static_cast<size_t>(n);
}

my_ulonglong Fake_affected_rows(MYSQL*)
{
    Enter("affected_rows");
    return g_pFake->nAffected;
}

// The statement's connection, open on the scripted handle; its reopening
// is counted, not done.
class CFakeConnection : public CMySQLConnection {
public:
    CFakeConnection() : CMySQLConnection(L"fake", nullptr)
    {
        m_hMySQL = FAKE_HANDLE;
        m_nCnxCodePage = 1252;
        m_nHostCodePage = 1252;
    }
    ~CFakeConnection() override { m_hMySQL = nullptr; }
    int bOpen(CNAError*) override
    {
        m_nOpens++;
        m_hMySQL = FAKE_HANDLE;
        return 1;
    }
    int bClose(CNAError*) override
    {
        m_nCloses++;
        m_hMySQL = nullptr;
        return 1;
    }
    void SetCodePage(int n) { m_nCnxCodePage = n; }
    int m_nOpens = 0;
    int m_nCloses = 0;
};

FakeField Field(const char* pszName, unsigned int nType, unsigned int nLength, unsigned int nMaxLength = 0,
                unsigned int nDecimals = 0, unsigned int nCharset = 8, unsigned int nFlags = 0)
{
    return FakeField{pszName, nType, nLength, nMaxLength, nDecimals, nCharset, nFlags, nullptr, nullptr};
}

FakeAnswer Rows(std::vector<FakeField> tabField, std::vector<std::vector<std::string>> tabRow)
{
    FakeAnswer cl;
    cl.bResultSet = true;
    cl.tabField = std::move(tabField);
    cl.tabRow = std::move(tabRow);
    return cl;
}

[[maybe_unused]] FakeAnswer NoSet(unsigned int nErrno = 0)
{
    FakeAnswer cl;
    cl.nErrno = nErrno;
    return cl;
}

FakeReply Reply(std::deque<FakeAnswer> tab)
{
    FakeReply cl;
    cl.tabAnswer = std::move(tab);
    return cl;
}

[[maybe_unused]] FakeReply Refused(unsigned int nErrno)
{
    FakeReply cl;
    cl.nQueryAnswer = 1;
    cl.nQueryErrno = nErrno;
    return cl;
}

// ---- The fixture -----------------------------------------------------------------------------------

class MySQLStatementSQLFake : public ::testing::Test {
protected:
    void SetUp() override
    {
        BindValueMachine();
        g_pFake = &m_clFake;
        m_csVersionBefore = CNAConnectionDescription::m_csClientVersion;
        m_nMajorBefore = CNAConnectionDescription::m_nClientVersionMajor;
        m_nMinorBefore = CNAConnectionDescription::m_nClientVersionMinor;
        m_bNextBefore = CMySQLConnection::gbUseNextResult;
        SetClient(L"10.11.19", LAYOUT_84);
        CMySQLConnection::gbUseNextResult = 1;
        __mysql_real_query = Fake_real_query;
        __mysql_store_result = Fake_store_result;
        __mysql_use_result = Fake_use_result;
        __mysql_next_result = Fake_next_result;
        __mysql_free_result = Fake_free_result;
        __mysql_errno = Fake_errno;
        __mysql_error = Fake_error;
        __mysql_num_fields = Fake_num_fields;
        __mysql_num_rows = Fake_num_rows;
        __mysql_fetch_fields = Fake_fetch_fields;
        __mysql_fetch_row = Fake_fetch_row;
        __mysql_fetch_lengths = Fake_fetch_lengths;
        __mysql_data_seek = Fake_data_seek;
        __mysql_affected_rows = Fake_affected_rows;
        // The probe's statements come from the driver's SQL interface.
        CNADriver::s_pclDriver = &m_clDriver;
        m_pError = new CNAError;
        m_pError->AddRef();
        m_pCnx = new CFakeConnection;
        m_pCnx->AddRef();
        m_pStmt = new CMySQLStatementSQL(m_pCnx, m_pError);
        m_pStmt->AddRef();
    }
    void TearDown() override
    {
        m_pStmt->nRelease();
        m_pCnx->nRelease();
        m_pError->nRelease();
        // Every result made was freed.
        EXPECT_EQ(m_clFake.nResultsFreed, m_clFake.nResultsMade);
        CNAFunctionLoader::g_Term();
        CNAConnectionDescription::m_csClientVersion = m_csVersionBefore;
        CNAConnectionDescription::m_nClientVersionMajor = m_nMajorBefore;
        CNAConnectionDescription::m_nClientVersionMinor = m_nMinorBefore;
        CMySQLConnection::gbUseNextResult = m_bNextBefore;
        g_pFake = nullptr;
        CNADriver::s_pclDriver = nullptr;
    }
    void SetClient(const wchar_t* pszVersion, const Layout& st)
    {
        CNAConnectionDescription::m_csClientVersion = pszVersion;
        CNAFunctionLoader::g_GetVersionNumbers(pszVersion, &CNAConnectionDescription::m_nClientVersionMajor,
                                               &CNAConnectionDescription::m_nClientVersionMinor);
        m_clFake.stLayout = st;
    }
    int Run(const char* pszSQL) { return m_pStmt->bExecuteDirect(pszSQL, 0); }
    std::wstring ErrorText() { return m_pError->pszGetError(); }
    std::wstring Text(unsigned int nColumn)
    {
        CAny v;
        if (!m_pStmt->bGetValue(&v, nColumn, 0))
            return L"(false)";
        return v.bIsNull() ? L"(null)" : TextW(v);
    }
    // The current row's column read into a cell of a host type, as 8-bit text.
    std::string CellText(unsigned int nColumn, unsigned short nType)
    {
        CCell cl(m_pError, m_pCnx);
        cl.InitTypeVariantAny(nType, 0);
        CAny v;
        EXPECT_EQ(m_pStmt->bGetValue(&cl, nColumn, 0), 1) << "column " << nColumn << ", type " << nType;
        EXPECT_TRUE(cl.bGetValue(&v));
        EXPECT_EQ(v.__nCastTo(TQTYPE_DSTRA, nullptr, 1), 0) << "column " << nColumn << ", type " << nType;
        return Text8(v);
    }
    int CallCount(const char* psz) const
    {
        int n = 0;
        for (const std::string& s : m_clFake.tabCalls)
            n += s == psz;
        return n;
    }
    size_t Position(const std::wstring& strIn, const std::wstring& strPart) const { return strIn.find(strPart); }

    FakeClient m_clFake;
    CMySQLDriver m_clDriver;
    CNAError* m_pError = nullptr;
    CFakeConnection* m_pCnx = nullptr;
    CMySQLStatementSQL* m_pStmt = nullptr;
    CTString m_csVersionBefore;
    int m_nMajorBefore = 0;
    int m_nMinorBefore = 0;
    int m_bNextBefore = 0;
};

} // namespace
