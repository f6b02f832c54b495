// Ordered list of owned wide strings: each slot holds a heap CTString that
// the array creates when a text is added and deletes when it is removed.
// Operations that forward to another one call it through its virtual slot,
// so that an override is honoured. An index outside the array makes an
// operation do nothing (and operator[] answer null).
#pragma once

#include "common/text/Tableau.h"
#include "common/text/Tstring.h"

class CTStringArray : public CTTableau<CTString*> {
public:
    CTStringArray() : CTTableau<CTString*>(1, 30) {}
    ~CTStringArray() override;

    // Slot order kept after the base arrays' five.
    virtual void Ajoute(const CTString* pcl);
    // A copy of s; null gives an empty string.
    virtual void Ajoute(const wchar_t* s);
    // Copies of every element of the other array, in order.
    virtual void Ajoute(const CTTableau<CTString*>& cl);
    // A new copy at pos (0 .. count); later elements move up.
    virtual void Insere(const CTString* pcl, int pos);
    virtual void Insere(const wchar_t* s, int pos);
    // A new copy in slot pos (0 .. count - 1); the string it replaces is
    // deleted.
    virtual void SetAt(const CTString* pcl, int pos);
    virtual void SetAt(const wchar_t* s, int pos);
    virtual void Supprime(int i);
    // Deletes every string; the storage stays.
    virtual void SupprimeTout();
    virtual CTString* operator[](int i) const;
    // First element at or after start equal to s (null: empty), ignoring
    // case when bCaseSensitive is 0; -1 when none.
    virtual int nRecherche(const wchar_t* s, int bCaseSensitive, int start) const;
    // Equal elements keep no defined order.
    virtual void TrieCroisssant();
    virtual void TrieCroisssantI();
    virtual void TrieDecroisssant();
    // The elements joined with sep (null or empty: none) into out, sized
    // once. An empty array leaves out as it is. True unless out is null.
    virtual bool bFusion(CTString* out, const wchar_t* sep) const;
    // Replaces the elements by the fields of text split at sep: 'a,,b'
    // gives 'a', '' and 'b', a trailing separator a last empty field. An
    // empty text gives no element, but an allocated empty CTString gives
    // one empty element. A null or empty sep gives the whole text.
    virtual void Decoupe(const CTString& text, const wchar_t* sep);
    virtual void Decoupe(const wchar_t* text, const wchar_t* sep);
    // n copies of s.
    virtual void Initialise(const wchar_t* s, int n);
    // At most n characters of s.
    virtual void vAjoute(const wchar_t* s, int n);

    // A new element takes over s's buffer; s is left empty.
    void AjouteRecupere(CTString* s);
    // A new element formatted with the Windows printf rules.
    void AjoutePrintf(const wchar_t* fmt, ...);
    // A new element formatted by the printf-style FormatMessageW; it stays
    // empty when the formatting fails.
    void AjouteFormatMessageWin(const wchar_t* fmt, ...);

    // Splits list at sep, sorts the fields ignoring case and joins them with
    // sep into out (emptied when the list has no field).
    static bool g_bTrieCroissantI(CTString* out, const wchar_t* list, const wchar_t* sep);

private:
    // The array owns its strings: n copies of one pointer would be deleted n
    // times.
    using CTTableau<CTString*>::Initialise;
    // Appends a new element; the string is deleted if the array cannot grow.
    void _AjouteNouveau(CTString* pcl);
    static int __nCompare(const void* a, const void* b);
    static int __nCompareI(const void* a, const void* b);
    static int __nCompareInverse(const void* a, const void* b);
};
