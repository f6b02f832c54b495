// The module's own wide string: one C-heap buffer of NUL-terminated 32-bit
// characters per object, a null pointer being the empty string. Not shared
// with the host, no reference count, no virtual operations.
#pragma once

#include "common/text/STR.h"

#include <cstdarg>
#include <cstddef>
#include <cwchar>

template <typename T>
class CXYString;

// Visitor of PourTouteChaineSepareePar: gets each field (index, first
// character, length in characters); answers non-zero to go on, 0 to stop.
class IVisiteurPourTouteChaine {
public:
    virtual int nVisite(int nIndice, const wchar_t* pszChaine, int nTaille) = 0;

protected:
    ~IVisiteurPourTouteChaine() = default;
};

class CTString {
public:
    CTString() : m_psz(nullptr) {}
    CTString(const wchar_t* psz);
    CTString(const CTString& cl);
    CTString(const wchar_t* psz, int n);
    CTString(const wchar_t* a, const wchar_t* b, const wchar_t* c);
    // 8-bit text in code page 1252.
    CTString(const char* psz);
    ~CTString();

    CTString& operator=(const wchar_t* psz);
    CTString& operator=(wchar_t* psz);
    CTString& operator=(const CTString& cl);
    CTString& operator=(wchar_t c);

    // ---- Setting --------------------------------------------------------
    void Set(const wchar_t* psz);
    void SetUNICODE(const wchar_t* psz);
    // At most n characters of psz; n = 0 with a source leaves an allocated
    // empty text.
    void Set(const wchar_t* psz, unsigned n);
    // Exactly n characters, embedded NULs included.
    void SetFromBinary(const wchar_t* psz, unsigned n);
    void Set(const wchar_t* a, const wchar_t* b, const wchar_t* c);
    void Set(wchar_t c);
    void Set(const CXYString<wchar_t>& cl);
    void Set(const CXYString<wchar_t>* pcl);
    void SetI4(int n);
    void SetI8(long long ll);
    // n bytes of 8-bit text (-1: up to the terminator) in codePage.
    void SetANSIEx(const char* psz, int n, unsigned codePage);
    void Vide();
    // Adopts a malloc'ed buffer.
    void SetBuffer(wchar_t* psz);
    // Takes the other's buffer, leaving it empty.
    void Transfert(CTString& cl);

    // ---- Access ---------------------------------------------------------
    // Never null.
    const wchar_t* pszGet() const;
    // Never set, or emptied: unlike a text set to be empty.
    bool bIsNull() const { return m_psz == nullptr; }
    int nTaille() const;
    wchar_t cGetChar(int i) const;
    void SetChar(int i, wchar_t c);

    // ---- Search: -1 when absent or when the own text is empty -------------
    int nPos(const wchar_t* psz, int nDebut = 0) const;
    int nPos(wchar_t c, int nDebut = 0) const;
    int nRPos(const wchar_t* psz) const;
    int nRPos(wchar_t c) const;
    int nUpPos(const wchar_t* psz, int nDebut = 0) const;
    int nPosParmi(const wchar_t* pszJeu) const;
    int nNbOcc(const wchar_t* psz) const;

    // ---- Comparison -----------------------------------------------------
    bool operator==(const CTString& cl) const;
    bool operator!=(const CTString& cl) const;
    bool bEstEgal(const wchar_t* psz) const;
    bool bEstEgalI(const wchar_t* psz) const;
    bool bEstEgalI(const CTString& cl) const;
    bool bCommencePar(const wchar_t* psz) const;
    bool bCommenceParI(const wchar_t* psz) const;
    bool bTerminePar(wchar_t c) const;
    bool bTerminePar(const wchar_t* psz) const;
    bool bTermineParI(const wchar_t* psz) const;

    // ---- Extraction -----------------------------------------------------
    CTString clMilieu(int nPos, int n) const;
    CTString clMilieu(int nPos) const;
    CTString clGauche(int n) const;
    CTString clDroite(int n) const;
    CTString clExclu(const wchar_t* pszJeu) const;
    CTString clContientUniquement(const wchar_t* pszJeu) const;
    CTString operator+(const wchar_t* psz) const;

    // Field n of the text split at sep.
    bool bExtraitChaine(unsigned n, wchar_t sep, CTString* pclRes) const;
    bool bExtraitChaine(int n, const wchar_t* pszSep, CTString* pclRes) const;
    bool bExtraitChainePos(unsigned n, wchar_t sep, const wchar_t** ppszDebut, int* pnTaille) const;
    bool bExtraitChainePos(int n, const wchar_t* pszSep, const wchar_t** ppszDebut, int* pnTaille) const;
    bool bExtraitPosTailleChaine(int n, const wchar_t* pszSep, int* pnPos, int* pnTaille) const;
    bool bExtraitEtRemplaceChaine(int n, const wchar_t* pszSep, const wchar_t* pszNouveau);
    // Token n; runs of delimiters separate tokens.
    bool bExtraitChaineTok(int n, const wchar_t* pszDelim, CTString* pclRes) const;
    int PourTouteChaineSepareePar(const wchar_t* pszSep, IVisiteurPourTouteChaine* piVisiteur) const;

    // Set from src cut at c (Debut: before it, Fin: after it; Premier: first
    // c, Dernier: last c). Found: answer src just after that c. Absent: the
    // plain forms set all of src and answer null, the Existant forms empty
    // the string and answer src.
    const wchar_t* pszSetDebutPremier(const wchar_t* pszSrc, wchar_t c);
    const wchar_t* pszSetDebutDernier(const wchar_t* pszSrc, wchar_t c);
    const wchar_t* pszSetFinPremier(const wchar_t* pszSrc, wchar_t c);
    const wchar_t* pszSetFinDernier(const wchar_t* pszSrc, wchar_t c);
    const wchar_t* pszSetDebutPremierExistant(const wchar_t* pszSrc, wchar_t c);
    const wchar_t* pszSetDebutDernierExistant(const wchar_t* pszSrc, wchar_t c);
    const wchar_t* pszSetFinPremierExistant(const wchar_t* pszSrc, wchar_t c);
    const wchar_t* pszSetFinDernierExistant(const wchar_t* pszSrc, wchar_t c);

    // ---- Modification ---------------------------------------------------
    void Add(const wchar_t* psz);
    // n characters as they are; a trailing NUL at n - 1 is dropped.
    void Add(const wchar_t* psz, int n);
    void Add(const wchar_t* a, const wchar_t* b, const wchar_t* c);
    void Add(wchar_t c);
    void Add(const CXYString<wchar_t>& cl);
    void Add(const CXYString<wchar_t>* pcl);
    void AddI4(int n);
    void AddI8(long long ll);
    void Insert(wchar_t c);
    // n = -1: all of psz; pos at or past the end appends.
    void Insert(const wchar_t* psz, int n = -1, int nPos = 0);
    void Remplace(int nPos, int n, const wchar_t* psz);
    void Remplace(wchar_t cDe, wchar_t cPar, int nDebut = 0);
    void Remplace(const wchar_t* pszDe, const wchar_t* pszPar, int nDebut = 0);
    void RemplaceI(const wchar_t* pszDe, const wchar_t* pszPar, int nDebut = 0);
    void Insecable();
    void Tronque(int n);
    void TronqueDebut(int n);
    void Coupe(int nPos, int n);
    void Complete(int n, wchar_t c);
    void Renverse();
    void Majuscule();
    void Minuscule();
    void SansAccent();
    void SansEspace();
    void LTrim(wchar_t c);
    void RTrim(wchar_t c);
    void Trim(wchar_t c);
    void Trim();
    void MapStringEx(unsigned nFlags);
    void SetStandard(const wchar_t* psz);
    void Ellipse(const wchar_t* pszSrc, unsigned nMax, eELLIPSISPOSITION ePosition);

    // Unsigned value of clMilieu(pos, n) (n = -1: to the end) in base nBase.
    long long nVal(int nBase, int nPos = 0, int n = -1) const;

    void FichierTemporaire(const wchar_t* pszPrefixe);

    // ---- Formatting (Windows rules: "%s" wide, "%S" 8-bit) ----------------
    // Replaces the text; a format that yields nothing leaves it empty.
    void FormatV(const wchar_t* pszFormat, va_list args);
    void printf(const wchar_t* pszFormat, ...);
    void AddPrintf(const wchar_t* pszFormat, ...);
    // Message formatting (numbered inserts / printf-style); on failure the
    // text is kept.
    void FormatMessageWin(const wchar_t* pszFormat, ...);
    void FormatMessageW(const wchar_t* pszFormat, ...);

private:
    void _SetBufferSize(size_t n);
    size_t _nCapacite() const;
    bool _bDansBuffer(const wchar_t* p) const;
    const wchar_t* _pszHorsBuffer(const wchar_t* p, size_t n, CTString& clCopie) const;
    void _SetN(const wchar_t* psz, size_t n);
    void _AddN(const wchar_t* psz, size_t n);
    bool _bMappe(unsigned nFlags, const wchar_t* pszSrc, size_t n);
    void _Remplace(const wchar_t* pszDe, const wchar_t* pszPar, int nDebut, bool bSansCasse);
    bool _bChercheChamp(int n, const wchar_t* pszSep, const wchar_t** ppszDebut, int* pnTaille) const;
    bool _bChercheChamp(unsigned n, wchar_t sep, const wchar_t** ppszDebut, int* pnTaille) const;
    const wchar_t* _pszSetCoupe(const wchar_t* pszSrc, wchar_t c, bool bDernier, bool bFin, bool bExistant);

    wchar_t* m_psz;
};
