#include "mysql/NACodePageCnv.h"

#include <cstring>
#include <cwchar>

CNACodePageCnvIN::CNACodePageCnvIN(int nCodePage, const wchar_t* pszSource)
    : CNACodePageCnv(nCodePage), m_pszSource(pszSource), m_nLength(0)
{
    if (pszSource == nullptr || pszSource[0] == 0)
        return;
    m_nLength = static_cast<int>(std::wcslen(pszSource));
    if (nCodePage != CODEPAGE_WIDE)
        m_clConverted.__nConversion(pszSource, m_nLength, 0, nCodePage, 0, nullptr);
}

CNACodePageCnvIN::~CNACodePageCnvIN() {}

const char* CNACodePageCnvIN::pszGet() const
{
    if (m_pszSource == nullptr)
        return nullptr;
    if (m_nCodePage == CODEPAGE_WIDE)
        return reinterpret_cast<const char*>(m_pszSource);
    return m_clConverted.pszGet();
}

int CNACodePageCnvIN::nGetByteLength() const
{
    if (m_nCodePage == CODEPAGE_WIDE)
        return m_nLength * static_cast<int>(sizeof(wchar_t));
    return m_clConverted.nGetLength();
}

CNACodePageCnvOUT::~CNACodePageCnvOUT() {}

const wchar_t* CNACodePageCnvOUT::pszGet()
{
    if (m_pszSource == nullptr)
        return nullptr;
    if (m_clConverted.pGetData() != nullptr)
        return m_clConverted.pszGet();
    if (m_nCodePage != CODEPAGE_WIDE) {
        m_clConverted.__nConversion(m_pszSource, m_nByteLength, 0, m_nCodePage, 0, nullptr);
        return m_clConverted.pszGet();
    }
    const int nChars = m_nByteLength / static_cast<int>(sizeof(wchar_t));
    const wchar_t* pszWide = reinterpret_cast<const wchar_t*>(m_pszSource);
    if (pszWide[nChars] == 0)
        return pszWide;
    if (nChars == 0)
        return CXYString<wchar_t>::ChaineVide;
    // Not terminated where its length ends: a terminated copy.
    m_clConverted = CXYString<wchar_t>(pszWide, nChars);
    return m_clConverted.pszGet();
}

CNACodePageCnvOUTPtr::CNACodePageCnvOUTPtr(int nCodePage, const char* pszSource)
    : CNACodePageCnvOUT(nCodePage, pszSource, 0)
{
    if (pszSource == nullptr)
        return;
    if (nCodePage == CODEPAGE_WIDE)
        m_nByteLength = static_cast<int>(std::wcslen(reinterpret_cast<const wchar_t*>(pszSource)) * sizeof(wchar_t));
    else
        m_nByteLength = static_cast<int>(std::strlen(pszSource));
}
