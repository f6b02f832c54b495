#include "common/text/StringParameter.h"

namespace {

const wchar_t kBlanc = L' ';
const wchar_t kSeparateur = L';';

}  // namespace

CStringParameter::CStringParameter(const wchar_t* pszName) : m_pszName(pszName), m_bDefined(0) {}

CStringParameter::~CStringParameter() = default;

void CStringParameter::SetParameterValue(const wchar_t* pszValue, int nLen, int, int)
{
    if (pszValue == nullptr) {
        m_clValue.Vide();
        m_bDefined = 0;
        return;
    }
    if (nLen >= 0)
        m_clValue.Set(pszValue, static_cast<unsigned>(nLen));
    else
        m_clValue.Set(pszValue);
    m_clValue.SansEspace();
    m_bDefined = 1;
}

void CStringParameter::SetParameterValueRep(const wchar_t* pszValue, int nLen)
{
    SetParameterValue(pszValue, nLen);
    if (m_clValue.nTaille() > 0 && !m_clValue.bTerminePar(L'\\'))
        m_clValue.Add(L'\\');
}

int CStringParameter::bInitParameterValue(CTString* pclText, int bRemove)
{
    s_bGetParameterValue(&m_clValue, &m_bDefined, pclText, m_pszName, bRemove);
    return 1;
}

int CStringParameter::bCompleteConnectionString(CTString* pclText, int, int)
{
    if (m_bDefined == 1 && pclText != nullptr) {
        if (pclText->nTaille() > 0)
            pclText->Add(L";");
        pclText->Add(m_pszName);
        pclText->Add(L"=");
        pclText->Add(m_clValue.pszGet());
    }
    return 1;
}

bool CStringParameter::_s_bGetParameterPos(int& nNamePos, int& nValueStart, int& nValueEnd, CTString* pclText,
                                           const wchar_t* pszName)
{
    nNamePos = 0;
    nValueStart = -1;
    nValueEnd = -1;
    if (pclText == nullptr || pclText->nTaille() == 0 || pszName == nullptr || *pszName == 0)
        return false;
    CTString clText(pclText->pszGet());
    clText.Majuscule();
    CTString clName(pszName);
    clName.Majuscule();
    const wchar_t* t = clText.pszGet();
    const int nLen = clText.nTaille();
    const int nNameLen = clName.nTaille();
    for (int nPos = clText.nPos(clName.pszGet(), 0); nPos >= 0; nPos = clText.nPos(clName.pszGet(), nPos + 1)) {
        // Only a whole item name: at the start or after ";" and blanks,
        // never inside a longer name or a value.
        int k = nPos - 1;
        while (k >= 0 && t[k] == kBlanc)
            --k;
        if (k >= 0 && t[k] != kSeparateur)
            continue;
        int j = nPos + nNameLen;
        while (j < nLen && t[j] == kBlanc)
            ++j;
        if (j >= nLen || t[j] != L'=')
            continue;
        ++j;
        while (j < nLen && t[j] == kBlanc)
            ++j;
        const int nSeparateur = clText.nPos(kSeparateur, j);
        nNamePos = nPos;
        nValueStart = j;
        nValueEnd = (nSeparateur < 0 ? nLen : nSeparateur) - 1;
        return true;
    }
    return false;
}

bool CStringParameter::s_bParameterDefined(CTString* pclText, const wchar_t* pszName)
{
    int nNamePos, nValueStart, nValueEnd;
    return _s_bGetParameterPos(nNamePos, nValueStart, nValueEnd, pclText, pszName);
}

int CStringParameter::s_bGetParameterValue(CTString* pclValue, int* pbFound, CTString* pclText,
                                           const wchar_t* pszName, int bRemove)
{
    if (pclValue != nullptr)
        pclValue->Vide();
    int nNamePos, nValueStart, nValueEnd;
    const bool bFound = _s_bGetParameterPos(nNamePos, nValueStart, nValueEnd, pclText, pszName);
    if (pbFound != nullptr)
        *pbFound = bFound ? 1 : 0;
    if (!bFound)
        return 1;
    if (pclValue != nullptr && nValueEnd >= nValueStart) {
        pclValue->Set(pclText->pszGet() + nValueStart, static_cast<unsigned>(nValueEnd - nValueStart + 1));
        pclValue->SansEspace();
    }
    if (bRemove) {
        const wchar_t* t = pclText->pszGet();
        const int nLen = pclText->nTaille();
        int nDebut = nNamePos;
        while (nDebut > 0 && t[nDebut - 1] == kBlanc)
            --nDebut;
        int nFin = nValueEnd + 1;
        while (nFin < nLen && (t[nFin] == kBlanc || t[nFin] == kSeparateur))
            ++nFin;
        pclText->Coupe(nDebut, nFin - nDebut);
        t = pclText->pszGet();
        int k = 0;
        while (t[k] == kBlanc || t[k] == kSeparateur)
            ++k;
        if (k > 0)
            pclText->Coupe(0, k);
    }
    return 1;
}

int CStringParameter::s_bReplaceParameterValue(CTString* pclText, const wchar_t* pszValue, const wchar_t* pszName)
{
    if (pclText == nullptr || pszName == nullptr || *pszName == 0)
        return 1;
    const wchar_t* pszNouveau = pszValue != nullptr ? pszValue : L"";
    int nNamePos, nValueStart, nValueEnd;
    if (_s_bGetParameterPos(nNamePos, nValueStart, nValueEnd, pclText, pszName)) {
        pclText->Remplace(nValueStart, nValueEnd - nValueStart + 1, pszNouveau);
    } else {
        if (pclText->nTaille() > 0)
            pclText->Add(L";");
        pclText->Add(pszName);
        pclText->Add(L"=");
        pclText->Add(pszNouveau);
    }
    return 1;
}
