#include "common/text/ListeDeBuffer.h"

#include "common/text/SysUtils.h"

#include <cstdlib>
#include <cstring>

CListeDeBuffer::CListeDeBuffer(int nElementSize)
    : m_pFirst(nullptr), m_pLast(nullptr), m_pCurrent(nullptr), m_nElementSize(nElementSize < 0 ? 0 : nElementSize),
      m_nCount(0), m_nIndex(-1), m_bOwner(true)
{
}

CListeDeBuffer::CListeDeBuffer(const CListeDeBuffer& cl)
    : m_pFirst(cl.m_pFirst), m_pLast(cl.m_pLast), m_pCurrent(cl.m_pCurrent), m_nElementSize(cl.m_nElementSize),
      m_nCount(cl.m_nCount), m_nIndex(cl.m_nIndex), m_bOwner(false)
{
}

CListeDeBuffer& CListeDeBuffer::operator=(const CListeDeBuffer& cl)
{
    if (this == &cl)
        return *this;
    // An owner that becomes a view of other nodes gives its own back first.
    if (m_bOwner && m_pFirst != cl.m_pFirst)
        SupprimeTout();
    m_pFirst = cl.m_pFirst;
    m_pLast = cl.m_pLast;
    m_pCurrent = cl.m_pCurrent;
    m_nElementSize = cl.m_nElementSize;
    m_nCount = cl.m_nCount;
    m_nIndex = cl.m_nIndex;
    m_bOwner = false;
    return *this;
}

bool CListeDeBuffer::Ajoute(const void* pElement, int bBefore)
{
    CLinkedElement* pNode =
        static_cast<CLinkedElement*>(XMALLOC_pNew_(sizeof(CLinkedElement) + static_cast<size_t>(m_nElementSize)));
    if (pNode == nullptr)
        return false;
    if (pElement != nullptr)
        std::memcpy(pGetElem(pNode), pElement, static_cast<size_t>(m_nElementSize));
    else
        std::memset(pGetElem(pNode), 0, static_cast<size_t>(m_nElementSize));
    if (m_nCount == 0) {
        pNode->pNext = pNode->pPrevious = nullptr;
        m_pFirst = m_pLast = pNode;
        m_nIndex = 0;
    } else {
        // A list walked past an end gets the node at that end.
        CLinkedElement* pAt = m_pCurrent;
        if (pAt == nullptr) {
            pAt = bBefore ? m_pFirst : m_pLast;
            m_nIndex = bBefore ? 0 : m_nCount - 1;
        }
        if (bBefore) {
            pNode->pNext = pAt;
            pNode->pPrevious = pAt->pPrevious;
            if (pAt->pPrevious != nullptr)
                pAt->pPrevious->pNext = pNode;
            else
                m_pFirst = pNode;
            pAt->pPrevious = pNode;
        } else {
            pNode->pPrevious = pAt;
            pNode->pNext = pAt->pNext;
            if (pAt->pNext != nullptr)
                pAt->pNext->pPrevious = pNode;
            else
                m_pLast = pNode;
            pAt->pNext = pNode;
            m_nIndex++;
        }
    }
    m_nCount++;
    m_pCurrent = pNode;
    return true;
}

void* CListeDeBuffer::pVaSuivant()
{
    if (m_pCurrent == nullptr || m_pCurrent->pNext == nullptr)
        return nullptr;
    m_pCurrent = m_pCurrent->pNext;
    m_nIndex++;
    return pCourant();
}

void* CListeDeBuffer::pVaPrecedent()
{
    if (m_pCurrent == nullptr || m_pCurrent->pPrevious == nullptr)
        return nullptr;
    m_pCurrent = m_pCurrent->pPrevious;
    m_nIndex--;
    return pCourant();
}

void CListeDeBuffer::VaSuivant()
{
    if (m_pCurrent == nullptr)
        return;
    m_pCurrent = m_pCurrent->pNext;
    m_nIndex++;
}

void CListeDeBuffer::VaPrecedent()
{
    if (m_pCurrent == nullptr)
        return;
    m_pCurrent = m_pCurrent->pPrevious;
    m_nIndex--;
}

void* CListeDeBuffer::pVaSurNumero(int n)
{
    if (n < 0 || n >= m_nCount)
        return nullptr;
    const int nFromLast = m_nCount - 1 - n;
    const bool bHaveCurrent = m_pCurrent != nullptr;
    const int nFromCurrent = bHaveCurrent ? (m_nIndex > n ? m_nIndex - n : n - m_nIndex) : m_nCount;
    CLinkedElement* p;
    if (n <= nFromLast && n <= nFromCurrent) {
        p = m_pFirst;
        for (int i = 0; i < n; i++)
            p = p->pNext;
    } else if (nFromLast > nFromCurrent) {
        p = m_pCurrent;
        if (n <= m_nIndex)
            for (int i = 0; i < nFromCurrent; i++)
                p = p->pPrevious;
        else
            for (int i = 0; i < nFromCurrent; i++)
                p = p->pNext;
    } else {
        p = m_pLast;
        for (int i = 0; i < nFromLast; i++)
            p = p->pPrevious;
    }
    m_pCurrent = p;
    m_nIndex = n;
    return pCourant();
}

void CListeDeBuffer::SupprimeCourant()
{
    CLinkedElement* p = m_pCurrent;
    if (p == nullptr)
        return;
    if (p->pPrevious != nullptr)
        p->pPrevious->pNext = p->pNext;
    else
        m_pFirst = p->pNext;
    if (p->pNext != nullptr)
        p->pNext->pPrevious = p->pPrevious;
    else
        m_pLast = p->pPrevious;
    CLinkedElement* pPrevious = p->pPrevious;
    XMALLOC_Del_(p);
    m_nCount--;
    if (pPrevious != nullptr) {
        m_pCurrent = pPrevious;
        m_nIndex--;
    } else {
        m_pCurrent = m_pFirst;
        if (m_nCount == 0)
            m_nIndex = -1;
    }
}

void CListeDeBuffer::SupprimeTout()
{
    if (m_nCount <= 0)
        return;
    for (CLinkedElement* p = m_pFirst; p != nullptr;) {
        CLinkedElement* pNext = p->pNext;
        XMALLOC_Del_(p);
        p = pNext;
    }
    m_pFirst = m_pLast = m_pCurrent = nullptr;
    m_nCount = 0;
    m_nIndex = -1;
}

void CListeDeBuffer::ExtraitListe(CListeDeBuffer& clSource, CListeDeBuffer& clFrom, CListeDeBuffer& clTo)
{
    CLinkedElement* pStart = clFrom.m_pCurrent;
    CLinkedElement* pStop = clTo.m_pCurrent;
    if (pStart == nullptr || pStart == pStop)
        return;
    // This list takes the run; whatever it held is freed first.
    SupprimeTout();
    const int nStartIndex = clFrom.m_nIndex;
    int n = 0;
    CLinkedElement* pEnd = pStart;
    for (CLinkedElement* p = pStart; p != pStop && p != nullptr; p = p->pNext) {
        pEnd = p;
        n++;
    }
    CLinkedElement* pBefore = pStart->pPrevious;
    if (pBefore != nullptr)
        pBefore->pNext = pStop;
    else
        clSource.m_pFirst = pStop;
    if (pStop != nullptr)
        pStop->pPrevious = pBefore;
    else
        clSource.m_pLast = pBefore;
    pStart->pPrevious = nullptr;
    pEnd->pNext = nullptr;
    m_pFirst = m_pCurrent = pStart;
    m_pLast = pEnd;
    m_nIndex = 0;
    m_nCount = n;
    m_bOwner = true;

    clSource.m_nCount -= n;
    const int nToIndex = pStop != nullptr ? clTo.m_nIndex - n : -1;
    if (clSource.m_nIndex >= nStartIndex + n) {
        clSource.m_nIndex -= n;
    } else if (clSource.m_nIndex >= nStartIndex) {
        clSource.m_pCurrent = pStop;
        clSource.m_nIndex = pStop != nullptr ? nToIndex : (clSource.m_nCount > 0 ? clSource.m_nCount : -1);
    }
    if (clSource.m_nCount == 0) {
        clSource.m_pCurrent = nullptr;
        clSource.m_nIndex = -1;
    }
    clFrom = clSource;
    clFrom.m_pCurrent = pStop;
    clFrom.m_nIndex = nToIndex;
    clTo = clFrom;
}
