// The host language's date-time and duration values. Both are plain values:
// no constructor, no virtual operation, copied bytewise, held inside host
// values, value cells and CXTime.
//
// Canonical texts: a date-time is 17 digits YYYYMMDDHHMMSSmmm, a date its
// first 8, a time its last 9. A duration is days (unpadded), then hours,
// minutes and seconds on 2 digits and milliseconds on 3 (or hundredths on
// 2), with a leading "-" when negative.
//
// Day numbers count 1 January 1800 as day 1 and follow the proleptic
// Gregorian calendar from 1 March 1500 on. Years before 1583 have the Julian
// leap rule (every fourth year), and the numbering stays one day per valid
// date all the way back to 1 January of year 1.
#pragma once

#include "common/text/Tstring.h"

#include <cstdint>
#include <cwchar>

struct _SYSTEMTIME;
class CTQBIN;
template <class T>
class CXYString;

// Writes value as exactly `digits` decimal digits (1 to 4), most significant
// first; only the low `digits` digits of a larger value are written.
template <typename T>
inline void FAST_SETI2DATE(T* out, int value, int digits)
{
    unsigned v = value < 0 ? 0u : static_cast<unsigned>(value);
    for (int i = digits - 1; i >= 0; --i) {
        out[i] = static_cast<T>('0' + v % 10);
        v /= 10;
    }
}

class CDureeBase;

class CDateTimeBase {
public:
    // ---- Statics ----------------------------------------------------------
    static const unsigned char ms_pbyNbJoursMois[12];
    static const unsigned char ms_pbyNbJoursMoisBissextile[12];
    // Initial texts of new date and time host values.
    static const wchar_t* ms_pcszValeurInitDate;
    static const wchar_t* ms_pcszValeurInitTime;

    // Day number of 31 December 9999, the last representable date.
    static constexpr int DERNIER_JOUR = 2994988;
    static constexpr int MILLI_PAR_JOUR = 86400000;

    // ---- Calendar and arithmetic -------------------------------------------
    void InitDate()
    {
        m_byJour = 0;
        m_byMois = 0;
        m_wAnnee = 0;
        m_dwHeure = 0;
    }
    // Each field of the record that is out of range is skipped.
    void InitDate(const _SYSTEMTIME* pst);
    void InitDateCourante();
    void InitDateCouranteUTC();
    // Unchecked.
    void Set(int nAnnee, int nMois, int nJour, int nHeure, int nMinute, int nSeconde, int nMilli);

    // Setters: false (nothing changed) when out of range.
    bool bModifieJour(int n);
    bool bModifieMois(int n);
    bool bModifieAnnee(int n);
    bool bModifieHeure(int n);
    bool bModifieMinute(int n);
    bool bModifieSeconde(int n);
    bool bModifieMilli(int n);

    // Shifts: false (nothing changed) for an invalid date or a result
    // outside 1..9999. The empty date stays empty under day shifts.
    bool bDecaleJour(int n);
    bool bDecaleMois(int n);
    bool bDecaleAnnee(int n);
    bool bDecaleMilli(long long ll);

    // 1-based day of the year.
    int nGetJourDansAnnee() const;
    // 0 Sunday, 1 Monday ... 6 Saturday.
    int nGetJourDeLaSemaine() const;
    // ISO 8601 week date; weekday 1 Monday ... 7 Sunday.
    void VersISO8601YWD(int& nAnnee, int& nSemaine, int& nJourSemaine) const;
    int nVersJourJulien() const;
    // 0, or 110 for an invalid date.
    int nVersEntier(int* pn) const;
    // The day number, or 0 for an invalid date.
    static int s_nDateVersEntier(int nJour, int nMois, int nAnnee);

    // a - b in milliseconds; 110 (out untouched) when either date is invalid.
    static int nCalculeDuree(const CDateTimeBase* a, const CDateTimeBase* b, CDureeBase* pclOut);
    static bool bCalculeDiffJour(const CDateTimeBase* a, const CDateTimeBase* b, int* pn);

    static int nCompare(const CDateTimeBase* a, const CDateTimeBase* b);
    static int s_nCompareDateSeule(const CDateTimeBase* a, const CDateTimeBase* b);
    static int nCompare(const CDateTimeBase* a, const wchar_t* psz);
    // An empty text is below any other; otherwise a text equals every
    // longer text it begins.
    static int nCompareDate(const wchar_t* a, const wchar_t* b);
    static int nCompareHeure(const wchar_t* a, const wchar_t* b);

    static int s_nGetNbJourMois(int nMois, int nAnnee);
    // Julian leap rule before 1583, Gregorian from 1583.
    static int __nBissextile(int nAnnee);
    static int __nRectifieFinMois(int nJour, int nMois, int nAnnee);
    static bool __bModifieJour(int* pJour, int* pMois, int* pAnnee, int n);
    static bool __bModifieMois(int* pJour, int* pMois, int* pAnnee, int n);
    static bool __bModifieAnnee(int* pJour, int* pMois, int* pAnnee, int n);
    static bool __bDecaleMois(int* pJour, int* pMois, int* pAnnee, int n);
    static bool __bDecaleAnnee(int* pJour, int* pMois, int* pAnnee, int n);
    static bool __bDecaleJour(int* pJour, int* pMois, int* pAnnee, int n);
    static bool __bDateVersEntier(int nJour, int nMois, int nAnnee, int* pn, int bCheck);
    static bool __bEntierVersDate(int n, int* pJour, int* pMois, int* pAnnee);

    // ---- Texts, binaries, system records ------------------------------------
    // The buffers of the writers hold n + 1 characters: at most n characters
    // are written, then the terminator. n = 17 is the whole text.
    void VersChaine(wchar_t* psz, unsigned n) const { __VersChaine(psz, n); }
    void VersChaine(char* psz, unsigned n) const { __VersChaine(psz, n); }
    template <typename T>
    void __VersChaine(T* psz, unsigned n) const;
    void VersChaine(CTString* pcl) const;
    CTString VersChaine() const;
    // Freed with STR_Delete; null when out of memory.
    wchar_t* pszCreeChaine() const;
    int nVersChaine(CXYString<wchar_t>* pcl) const;
    int nVersBinaire(CTQBIN* pcl, unsigned nReserve = 0) const;
    int nVersDate(wchar_t* psz, unsigned n) const;
    int nVersDate(char* psz, unsigned n) const;
    int nVersHeure(wchar_t* psz, unsigned n) const;
    int nVersHeure(char* psz, unsigned n) const;
    // "Y-M-D h:m:s,ms" without padding.
    CTString VersChaineFormate() const;
    int nVersSysteme(_SYSTEMTIME* pst) const;

    // Readers without checks: missing or non-numeric fields read as 0.
    template <typename T>
    void FromString(const T* psz);
    template <typename T>
    void __SetPartieDate(const T* psz);
    template <typename T>
    void __SetPartieHeure(const T* psz);
    // Checked reader: 0, 110 (date) or 111 (time).
    template <typename T>
    int nFromStringValide(const T* psz);
    template <typename T>
    bool __bSetPartieDateValide(const T* psz);
    template <typename T>
    bool __bSetPartieHeureValide(const T* psz);
    void DepuisBinaire(const CTQBIN* pcl, unsigned nReserve = 0);
    int nDepuisBinaireValide(const CTQBIN* pcl, unsigned nReserve = 0);
    static int nDateVersSysteme(const wchar_t* psz, _SYSTEMTIME* pst);
    static int nHeureVersSysteme(const wchar_t* psz, _SYSTEMTIME* pst);

    // Field of `width` digits at `position`; 0 for a null or empty text or a
    // field beyond the text. With bPartial, a field cut by the end of the
    // text is read as far as it goes and scaled by 10 per missing digit.
    static int nGetPropDateTime(const char* psz, unsigned nPosition, unsigned nLargeur, int bPartial);
    static int nGetPropDateTime(const wchar_t* psz, unsigned nPosition, unsigned nLargeur, int bPartial);
    // Writes value right-aligned with leading zeros in the field (zeros from
    // the position to nTotal when the field does not fit) and a terminator
    // at nTotal; the buffer holds nTotal + 1 characters.
    static void SetPropDateTime(char* psz, unsigned nPosition, unsigned nLargeur, int nValeur, unsigned nTotal);
    static void SetPropDateTime(wchar_t* psz, unsigned nPosition, unsigned nLargeur, int nValeur, unsigned nTotal);

    // The date word: day in the low byte, month in the next, year above.
    std::uint32_t dwGetMotDate() const
    {
        return static_cast<std::uint32_t>(m_byJour) | (static_cast<std::uint32_t>(m_byMois) << 8) |
               (static_cast<std::uint32_t>(m_wAnnee) << 16);
    }

    unsigned char m_byJour;    // 1-31; 0 in an empty date
    unsigned char m_byMois;    // 1-12; 0 in an empty date
    std::uint16_t m_wAnnee;    // 1-9999; 0 in an empty date
    std::uint32_t m_dwHeure;   // milliseconds since midnight

private:
    // Applies one of the field rules above to the date, written back only
    // when the rule accepts.
    bool _bChangeDate(bool (*pfnRegle)(int*, int*, int*, int), int n);
    void _GetDate(int* pJour, int* pMois, int* pAnnee) const
    {
        *pJour = m_byJour;
        *pMois = m_byMois;
        *pAnnee = m_wAnnee;
    }
    void _SetDate(int nJour, int nMois, int nAnnee)
    {
        m_byJour = static_cast<unsigned char>(nJour);
        m_byMois = static_cast<unsigned char>(nMois);
        m_wAnnee = static_cast<std::uint16_t>(nAnnee);
    }
};

static_assert(sizeof(CDateTimeBase) == 8, "a date-time is two 32-bit words");

// The name under which date-times are passed around.
class CDateTime : public CDateTimeBase {};

static_assert(sizeof(CDateTime) == 8, "a date-time is two 32-bit words");

class CDureeBase {
public:
    static const wchar_t* const ms_pcszFormatAffichageMillieme;
    static const wchar_t* const ms_cpszFormatAffichageCentieme;

    static int nCompare(const CDureeBase* a, const CDureeBase* b);

    // Writes the duration with `pszFormat` (one of the two display formats)
    // into psz, which holds nTaille + 1 characters. Result: characters
    // written after the sign, -1 when the text does not fit.
    int __nVersChaine(wchar_t* psz, const wchar_t* pszFormat, unsigned nTaille) const;
    wchar_t* pszCreeChaine() const;
    int nVersChaine(CXYString<wchar_t>* pcl) const;
    int nVersChaineCentieme(CXYString<wchar_t>* pcl) const;
    int nVersBinaire(CTQBIN* pcl, unsigned nReserve = 0) const;

    // 0, or 112 for a text too short (or a day count too large to hold).
    int nDepuisChaine(const wchar_t* psz);
    int nDepuisChaineCentieme(const wchar_t* psz);
    int nDepuisBinaire(const CTQBIN* pcl, unsigned nReserve = 0);

    std::int64_t m_llDuree;  // milliseconds
};

static_assert(sizeof(CDureeBase) == 8, "a duration is one 64-bit number");
