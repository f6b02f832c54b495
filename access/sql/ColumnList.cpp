#include "access/sql/ColumnList.h"

#include "access/statement/NAColumn.h"
#include "access/statement/NARecord.h"
#include "access/statement/NAStatement.h"
#include "common/text/SysUtils.h"

#include <algorithm>
#include <cwchar>

CColumnList::CColumnList() : m_pszText(nullptr), m_nLength(0), m_nCapacity(0), m_nStep(1024), m_nCount(0) {}

CColumnList::~CColumnList()
{
    XMALLOC_Del_(m_pszText);
}

void CColumnList::Empty()
{
    m_nLength = 0;
    m_nCount = 0;
    if (m_pszText != nullptr)
        m_pszText[0] = 0;
}

int CColumnList::_bAppend(const wchar_t* pszText, unsigned int nLength)
{
    if (nLength > 0x3FFFFFFFu - m_nLength)
        return 0;
    const unsigned int nNeeded = m_nLength + nLength;
    if (nNeeded >= m_nCapacity) {
        // The next multiple of the step above the length: room for the
        // terminator too.
        const unsigned long long nCapacity = (static_cast<unsigned long long>(nNeeded) / m_nStep + 1) * m_nStep;
        wchar_t* psz = static_cast<wchar_t*>(XMALLOC_pResize_(m_pszText, nCapacity * sizeof(wchar_t)));
        if (psz == nullptr)
            return 0;
        m_pszText = psz;
        m_nCapacity = static_cast<unsigned int>(nCapacity);
    }
    std::copy(pszText, pszText + nLength, m_pszText + m_nLength);
    m_nLength = nNeeded;
    m_pszText[m_nLength] = 0;
    return 1;
}

int CColumnList::AddColumn(const wchar_t* pszName)
{
    const unsigned int nName = pszName != nullptr ? static_cast<unsigned int>(wcslen(pszName)) : 0;
    const unsigned int nBefore = m_nLength;
    if (m_nCount > 0 && !_bAppend(L",", 1))
        return 0;
    if (!_bAppend(pszName, nName)) {
        m_nLength = nBefore;
        if (m_pszText != nullptr)
            m_pszText[m_nLength] = 0;
        return 0;
    }
    m_nCount++;
    return 1;
}

int CColumnList::BuildColumnList(CNAStatement* pclStatement, int bWithAutoId)
{
    CNARecord* pclRecord = pclStatement != nullptr ? pclStatement->pclGetCurrentRecordNoRef() : nullptr;
    if (pclRecord == nullptr)
        return 1;
    const unsigned int nDefine = static_cast<unsigned int>(pclStatement->nGetDefineMode());
    for (int i = 0; i < pclRecord->nGetNbColumn(); i++) {
        CNAColumn* pcl = pclRecord->pclGetColumnNoRef(i);
        if (pcl == nullptr || !pcl->bMustDefine(nDefine))
            continue;
        if (!bWithAutoId && (pcl->bIsIdAuto() || pcl->bIsAutoIncrementOnDataBase()))
            continue;
        if (!AddColumn(pcl->pszGetFormatedName()))
            return 0;
    }
    return 1;
}
