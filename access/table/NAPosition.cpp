#include "access/table/NAPosition.h"

#include "access/statement/NAStatement.h"
#include "access/table/NADataAccess.h"

CNAPosition::CNAPosition()
    : m_nRowId(-1),
      m_nRecordSaveId(-1),
      m_nOwnRecordSaveId(-1),
      m_pclDataAccess(nullptr),
      m_bValid(0),
      m_bRowDeleted(0),
      m_pclStatement(nullptr),
      m_llEqualCount(0),
      m_bEqualCountBackward(0)
{
}

CNAPosition::~CNAPosition()
{
    _ReleaseSave(m_nRecordSaveId);
    _ReleaseSave(m_nOwnRecordSaveId);
    if (m_pclStatement != nullptr)
        m_pclStatement->nRelease();
}

void CNAPosition::_ReleaseSave(int nId)
{
    if (nId != -1 && m_pclDataAccess != nullptr)
        m_pclDataAccess->nReleaseRecordSave(nId);
}

void CNAPosition::SetStatement(CNAStatement* pclStatement)
{
    if (pclStatement != nullptr)
        pclStatement->AddRef();
    if (m_pclStatement != nullptr)
        m_pclStatement->nRelease();
    m_pclStatement = pclStatement;
    if (pclStatement != nullptr)
        m_pclDataAccess = pclStatement->pclGetDataAccessNoRef();
}

int CNAPosition::bKeepFilter(CNAFilter* pclFilter)
{
    m_clFilterSave.SetFilter(pclFilter);
    return 1;
}

void CNAPosition::SetRecordSaveID_VerrueHAjouteHLit(CNADataAccess* pclDataAccess, int nId)
{
    if (pclDataAccess != m_pclDataAccess)
        m_pclDataAccess = pclDataAccess;
    if (m_pclDataAccess != nullptr)
        m_pclDataAccess->AddRefRecordSave(nId);
    // The save held before is given back: one reference per holder.
    _ReleaseSave(m_nOwnRecordSaveId);
    m_nOwnRecordSaveId = nId;
}

int CNAPosition::bSetParameters(int nRowId, int nRecordSaveId, const CNAUserSearch* pclUserSearch,
                                long long llEqualCount, int bEqualCountBackward)
{
    m_bValid = 1;
    if (nRecordSaveId != -1 && m_pclDataAccess != nullptr)
        m_pclDataAccess->AddRefRecordSave(nRecordSaveId);
    _ReleaseSave(m_nRecordSaveId);
    m_nRecordSaveId = nRecordSaveId;
    m_nRowId = nRowId;
    m_clUserSearch.Copy(pclUserSearch);
    m_llEqualCount = llEqualCount;
    m_bEqualCountBackward = bEqualCountBackward;
    return 1;
}

CNAStatement* CNAPosition::pclGetStatement() const
{
    if (m_pclStatement != nullptr)
        m_pclStatement->AddRef();
    return m_pclStatement;
}
