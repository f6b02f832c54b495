#include "common/text/TStringArray.h"

#include "common/platform/FormatWin.h"
#include "common/text/SysUtils.h"
#include "common/text/TextCompare.h"

#include <cstdarg>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <memory>
#include <new>

namespace {

const wchar_t* pszTexte(const CTString* pcl) { return pcl == nullptr ? L"" : pcl->pszGet(); }

} // namespace

CTStringArray::~CTStringArray()
{
    SupprimeTout();
}

void CTStringArray::_AjouteNouveau(CTString* pcl)
{
    std::unique_ptr<CTString> clGarde(pcl);
    CTableauDeBuffer::Ajoute(&pcl);
    clGarde.release();
}

void CTStringArray::Ajoute(const CTString* pcl)
{
    Ajoute(pcl == nullptr ? nullptr : pcl->pszGet());
}

void CTStringArray::Ajoute(const wchar_t* s)
{
    _AjouteNouveau(new CTString(s));
}

void CTStringArray::Ajoute(const CTTableau<CTString*>& cl)
{
    // The count is taken first: the other array may be this one.
    const int n = cl.nGetNbElement();
    for (int i = 0; i < n; ++i)
        Ajoute(static_cast<const CTString*>(cl.pGetDonnees()[i]));
}

void CTStringArray::Insere(const CTString* pcl, int pos)
{
    Insere(pcl == nullptr ? nullptr : pcl->pszGet(), pos);
}

void CTStringArray::Insere(const wchar_t* s, int pos)
{
    if (pos < 0 || pos > m_nNbElement)
        return;
    std::unique_ptr<CTString> clNouveau(new CTString(s));
    CTString* p = clNouveau.get();
    CTableauDeBuffer::Insere(&p, pos);
    clNouveau.release();
}

void CTStringArray::SetAt(const CTString* pcl, int pos)
{
    SetAt(pcl == nullptr ? nullptr : pcl->pszGet(), pos);
}

void CTStringArray::SetAt(const wchar_t* s, int pos)
{
    if (pos < 0 || pos >= m_nNbElement)
        return;
    // Copied before the old string goes: s may be its text.
    CTString* p = new CTString(s);
    CTString* pAncien = pGetDonnees()[pos];
    pGetDonnees()[pos] = p;
    delete pAncien;
}

void CTStringArray::Supprime(int i)
{
    if (i < 0 || i >= m_nNbElement)
        return;
    delete pGetDonnees()[i];
    CTableauDeBuffer::Supprime(i, 1);
}

void CTStringArray::SupprimeTout()
{
    for (int i = 0; i < m_nNbElement; ++i)
        delete pGetDonnees()[i];
    m_nNbElement = 0;
}

CTString* CTStringArray::operator[](int i) const
{
    if (i < 0 || i >= m_nNbElement)
        return nullptr;
    return pGetDonnees()[i];
}

int CTStringArray::nRecherche(const wchar_t* s, int bCaseSensitive, int start) const
{
    if (s == nullptr)
        s = L"";
    for (int i = start < 0 ? 0 : start; i < m_nNbElement; ++i) {
        const CTString* pcl = pGetDonnees()[i];
        if (bCaseSensitive ? std::wcscmp(pszTexte(pcl), s) == 0 : pcl->bEstEgalI(s))
            return i;
    }
    return -1;
}

int CTStringArray::__nCompare(const void* a, const void* b)
{
    return std::wcscmp(pszTexte(*static_cast<CTString* const*>(a)), pszTexte(*static_cast<CTString* const*>(b)));
}

int CTStringArray::__nCompareI(const void* a, const void* b)
{
    return STR_nFixedCaseCompare(pszTexte(*static_cast<CTString* const*>(a)),
                                 pszTexte(*static_cast<CTString* const*>(b)));
}

int CTStringArray::__nCompareInverse(const void* a, const void* b)
{
    return __nCompare(b, a);
}

void CTStringArray::TrieCroisssant()
{
    if (m_nNbElement > 1)
        std::qsort(pGetDonnees(), static_cast<std::size_t>(m_nNbElement), sizeof(CTString*), __nCompare);
}

void CTStringArray::TrieCroisssantI()
{
    if (m_nNbElement > 1)
        std::qsort(pGetDonnees(), static_cast<std::size_t>(m_nNbElement), sizeof(CTString*), __nCompareI);
}

void CTStringArray::TrieDecroisssant()
{
    if (m_nNbElement > 1)
        std::qsort(pGetDonnees(), static_cast<std::size_t>(m_nNbElement), sizeof(CTString*), __nCompareInverse);
}

bool CTStringArray::bFusion(CTString* out, const wchar_t* sep) const
{
    if (out == nullptr)
        return false;
    if (m_nNbElement == 0)
        return true;
    const std::size_t nSep = sep == nullptr ? 0 : std::wcslen(sep);
    unsigned long long nTotal = static_cast<unsigned long long>(m_nNbElement - 1) * nSep;
    for (int i = 0; i < m_nNbElement; ++i)
        nTotal += std::wcslen(pszTexte(pGetDonnees()[i]));
    if (nTotal >= 0x7FFFFFFFull || (nTotal + 1) * sizeof(wchar_t) > SIZE_MAX)
        throw std::bad_alloc();
    wchar_t* pszRes = static_cast<wchar_t*>(XMALLOC_pNew_(static_cast<std::size_t>(nTotal + 1) * sizeof(wchar_t)));
    if (pszRes == nullptr)
        throw std::bad_alloc();
    wchar_t* p = pszRes;
    for (int i = 0; i < m_nNbElement; ++i) {
        if (i > 0 && nSep > 0) {
            std::memcpy(p, sep, nSep * sizeof(wchar_t));
            p += nSep;
        }
        const wchar_t* pszElement = pszTexte(pGetDonnees()[i]);
        const std::size_t n = std::wcslen(pszElement);
        std::memcpy(p, pszElement, n * sizeof(wchar_t));
        p += n;
    }
    *p = 0;
    // Adopted only now: sep may be out's own text.
    out->SetBuffer(pszRes);
    return true;
}

void CTStringArray::Decoupe(const CTString& text, const wchar_t* sep)
{
    // Split aside first: text or sep may belong to an element that goes.
    CTStringArray clChamps;
    if (text.bExtraitChaine(0, sep, nullptr)) {
        const std::size_t nSep = sep == nullptr ? 0 : std::wcslen(sep);
        const wchar_t* p = text.pszGet();
        for (;;) {
            const wchar_t* q = nSep == 0 ? nullptr : std::wcsstr(p, sep);
            const std::size_t n = q == nullptr ? std::wcslen(p) : static_cast<std::size_t>(q - p);
            // An allocated text even when empty, as the extracted field is.
            std::unique_ptr<CTString> clChamp(new CTString);
            clChamp->Set(p, static_cast<unsigned>(n));
            clChamps._AjouteNouveau(clChamp.release());
            if (q == nullptr)
                break;
            p = q + nSep;
        }
    }
    SupprimeTout();
    for (int i = 0; i < clChamps.m_nNbElement; ++i) {
        CTString* pcl = clChamps.pGetDonnees()[i];
        CTableauDeBuffer::Ajoute(&pcl);
        // Now owned here; the temporary forgets it.
        clChamps.pGetDonnees()[i] = nullptr;
    }
    clChamps.m_nNbElement = 0;
}

void CTStringArray::Decoupe(const wchar_t* text, const wchar_t* sep)
{
    const CTString clTexte(text);
    Decoupe(clTexte, sep);
}

void CTStringArray::Initialise(const wchar_t* s, int n)
{
    for (int i = 0; i < n; ++i)
        Ajoute(s);
}

void CTStringArray::vAjoute(const wchar_t* s, int n)
{
    _AjouteNouveau(new CTString(s, n));
}

void CTStringArray::AjouteRecupere(CTString* s)
{
    std::unique_ptr<CTString> clNouveau(new CTString);
    if (s != nullptr)
        clNouveau->Transfert(*s);
    _AjouteNouveau(clNouveau.release());
}

void CTStringArray::AjoutePrintf(const wchar_t* fmt, ...)
{
    std::unique_ptr<CTString> clNouveau(new CTString);
    va_list args;
    va_start(args, fmt);
    clNouveau->FormatV(fmt, args);
    va_end(args);
    _AjouteNouveau(clNouveau.release());
}

void CTStringArray::AjouteFormatMessageWin(const wchar_t* fmt, ...)
{
    std::unique_ptr<CTString> clNouveau(new CTString);
    wchar_t* pszRes = nullptr;
    va_list args;
    va_start(args, fmt);
    // 0x500: allocate the result, the source is a text.
    const unsigned n = FormatMessageW(0x500, fmt, 0, 0, reinterpret_cast<wchar_t*>(&pszRes), 0,
                                      reinterpret_cast<char**>(&args));
    va_end(args);
    if (n != 0 && pszRes != nullptr)
        clNouveau->Set(pszRes);
    XMALLOC_Del_(pszRes);
    _AjouteNouveau(clNouveau.release());
}

bool CTStringArray::g_bTrieCroissantI(CTString* out, const wchar_t* list, const wchar_t* sep)
{
    if (out == nullptr)
        return false;
    CTStringArray clListe;
    clListe.Decoupe(list, sep);
    clListe.TrieCroisssantI();
    if (clListe.nGetNbElement() == 0) {
        out->Vide();
        return true;
    }
    return clListe.bFusion(out, sep);
}
