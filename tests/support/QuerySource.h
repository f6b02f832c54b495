// Host-parsed queries over hand-made tables, without a server: query texts
// through the parse stand-in, their digests, descriptions completed from
// them and data accesses whose source is the query. Everything made is
// given back in the tear-down, and the parses and counted objects must
// balance by then.
#pragma once

#include "access/driver/NADataSourceDescription.h"
#include "access/driver/NAError.h"
#include "access/sql/SQLParserInfo.h"
#include "access/statement/NARecord.h"
#include "access/table/NADataAccess.h"
#include "host/HostQueryParametersValue.h"
#include "tests/support/ClosedConnection.h"
#include "tests/support/HandDescriptions.h"
#include "tests/support/ValueCells.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

// A data access whose source is a host-parsed query, run in the mode given
// (bit 4: without correction).
class CQueryAccess : public CNADataAccess {
public:
    CQueryAccess(INADataSourceDescription* piDescription, CNAConnectionDescription* pCnx, CNAError* pError,
                 CSQLParserInfo* pInfo, unsigned int eMode = 0)
        : CNADataAccess(piDescription, pCnx, pError)
    {
        m_bSourceIsQuery = 1;
        // The data access releases its digest when it goes.
        if (pInfo != nullptr)
            pInfo->AddRef();
        m_pclQueryParserInfo = pInfo;
        m_eQueryMode = eMode;
    }
    using CNADataAccess::_SetCurrentRecord;
};

inline std::string NarrowAscii(const wchar_t* psz)
{
    std::string r;
    for (; psz != nullptr && *psz != 0; psz++)
        r += *psz < 128 ? static_cast<char>(*psz) : '?';
    return r;
}

inline std::string NarrowAscii(const std::wstring& s)
{
    return NarrowAscii(s.c_str());
}

class QuerySourceTest : public testing::Test {
protected:
    // A MySQL-kind connection sorting NULLs first or last.
    explicit QuerySourceTest(int bNullFirst = 0) : m_bNullFirst(bNullFirst) {}
    void SetUp() override
    {
        BindValueMachine();
        m_pError = m_clHand.pDriver()->pclGetError();
        m_pCnx = new CMySQLKindConnection(m_bNullFirst);
        m_pCnx->AddRef();
    }
    void TearDown() override
    {
        m_tabHeld.clear();
        for (CSQLParserInfo* p : m_tabDigest)
            EXPECT_EQ(p->nRelease(), 0u);
        m_pCnx->nRelease();
        for (auto& p : m_tabParse) {
            std::wstring strReport;
            EXPECT_EQ(p->nUnbalanced(&strReport), 0) << NarrowAscii(strReport);
            EXPECT_EQ(p->nOverReleases(), 0);
        }
        EXPECT_EQ(m_clHand.pDriver()->m_nLiveParameters, 0);
        EXPECT_EQ(m_clHand.pDriver()->m_nLiveCells, 0);
        EXPECT_EQ(m_clHand.pDriver()->m_nLiveCommands, 0);
        EXPECT_EQ(m_clValues.m_nRef, 0u);
    }
    CHostSQLParse* Parse(const wchar_t* pszQuery)
    {
        std::wstring strError;
        m_tabParse.push_back(CHostSQLParse::pParse(pszQuery, &m_clHand.m_clCatalogue, &m_clValues, &strError));
        EXPECT_NE(m_tabParse.back(), nullptr) << NarrowAscii(pszQuery) << ": " << NarrowAscii(strError);
        return m_tabParse.back().get();
    }
    // The digest of a parse; with the host's values when bValues.
    CSQLParserInfo* Digest(CHostSQLParse* pParse, bool bValues = false)
    {
        CSQLParserInfo* p = new CSQLParserInfo(m_pError, pParse, bValues ? &m_clValues : nullptr, 0);
        p->AddRef();
        m_tabDigest.push_back(p);
        return p;
    }
    // A description completed from the query (held by the test).
    CNADataSourceDescription* Described(CSQLParserInfo* pInfo)
    {
        CNADataSourceDescription* p = m_clHand.pDriver()->pclAllocDataSourceDescription(m_pCnx, m_pError);
        Hold(p);
        p->SetLogicalName(L"query");
        EXPECT_EQ(p->bCompleteDescription(pInfo), 1);
        return p;
    }
    // The record of the query's items, given to the digest (held by the
    // test); null when it cannot be made.
    CNARecord* RecordOf(CSQLParserInfo* pInfo)
    {
        CNADataSourceDescription* pDescription = Described(pInfo);
        CQueryAccess* pAccess = Hold(new CQueryAccess(nullptr, m_pCnx, m_pError, pInfo));
        CNARecord* pRecord = Hold(new CNARecord(m_pError, pAccess));
        if (pRecord->bInitRecord(pDescription, nullptr, m_pCnx) != 1) {
            ADD_FAILURE() << NarrowAscii(m_pError->pszGetError());
            return nullptr;
        }
        pInfo->SetRecord(pRecord);
        return pRecord;
    }
    template <class T>
    T* Hold(T* p)
    {
        p->AddRef();
        m_tabHeld.emplace_back(p, [](void* pv) { static_cast<T*>(pv)->nRelease(); });
        return p;
    }

    // Whatever the test holds, given back in the tear-down.
    std::vector<std::shared_ptr<void>> m_tabHeld;
    CHandCatalogue m_clHand;
    CHostQueryParametersValue m_clValues;
    CNAError* m_pError = nullptr;
    CMySQLKindConnection* m_pCnx = nullptr;
    std::vector<std::unique_ptr<CHostSQLParse>> m_tabParse;
    std::vector<CSQLParserInfo*> m_tabDigest;
    int m_bNullFirst;
};
