// A text built once and needed both as 8-bit text in a code page and as wide
// text (chiefly SQL sent as bytes and read back wide). One form is the
// master and takes every change; the other is marked stale (length 0, its
// buffer kept) and rebuilt by conversion only when it is read.
//
// The fields are read and written directly by the owners (setting both
// lengths to 0 empties the builder) and stay in this order. Positions and
// counts are units of the master form: bytes of the master code page, or
// characters. Counts of -1 mean up to the terminator; other counts below 1
// and null sources change nothing. 8-bit input without a code page, or with
// 0xFFFFFFFF, is in the builder's code page.
#pragma once

#include "common/text/XYStringConcat.h"
#include "common/text/TextBasics.h"

class CTStringConcatAW {
public:
    // -2: the wide form is the master; any other value: the 8-bit form is
    // the master and holds text of this code page (65001: UTF-8).
    int m_nMasterCodePage;
    // Code page of 8-bit input given without one, and of the 8-bit form
    // built from a wide master.
    unsigned m_nCodePage;
    CXYStringConcat<char> m_clA;
    CXYStringConcat<wchar_t> m_clW;

    explicit CTStringConcatAW(int nMasterCodePage = -2, unsigned nCodePage = CP_1252)
        : m_nMasterCodePage(nMasterCodePage), m_nCodePage(nCodePage)
    {
    }

    // ---- Reading ------------------------------------------------------------
    // Never null; the form is rebuilt from the master when it is stale.
    const char* pszGetA();
    const wchar_t* pszGetW();
    // Unit i of that form; 0 outside the text.
    wchar_t cGetCharW(int i);
    char cGetCharA(int i);
    // Whether unit i of the master is a space (false outside the text).
    bool bIsCharSpace(int i) const;
    // First occurrence at or after start in the master; -1 when absent.
    int nPos(wchar_t c, int start);
    int nPos(char c, int start);
    int nPos(const wchar_t* s, int start);
    int nPos(const char* s, int start);

    // ---- Appending ----------------------------------------------------------
    // cp is not used: wide text goes to an 8-bit master in its code page.
    void Add(const wchar_t* s, int n, unsigned cp);
    void Add(const char* s, int n, unsigned cp);
    void AddUTF8(const char* s, int n);
    void AddNumber(int v, int width);
    void AddNumber(long long v, int width);
    void AddNumberHexa(unsigned char v);
    void AddNumberHexa(unsigned short v);
    void AddNumberHexa(unsigned int v);
    void AddNumberHexa(unsigned long long v);

    // ---- Changing -------------------------------------------------------------
    void Majuscule();
    // Keeps the first n units (an UTF-8 master never keeps part of a
    // character); nothing when n is past the end, empty when n <= 0.
    void Tronque(int n);
    // Removes n units at pos; past the end it cuts at pos. Nothing when pos
    // is past the end.
    void Coupe(int pos, int n);
    // Replaces n units at pos (n < 0 or past the end: up to the end) by s;
    // nothing when pos is outside the text.
    void Remplace(int pos, int n, const wchar_t* s, int sLen);
    void Remplace(int pos, int n, const char* s, int sLen);
    // Inserts at pos; at or past the end it appends.
    void Insert(const wchar_t* s, int n, int pos);
    void Insert(const char* s, int n, int pos);
    // Every occurrence at or after start; replaced text is not searched again.
    void Remplace(const wchar_t* from, int fromLen, const wchar_t* to, int toLen, int start);
    void Remplace(const char* from, int fromLen, const char* to, int toLen, int start);

private:
    bool bMasterWide() const { return m_nMasterCodePage == -2; }
    unsigned _nLongueurMaitre() const { return bMasterWide() ? m_clW.m_nLength : m_clA.m_nLength; }
    // Marks the form that is not the master stale.
    void _Invalide();
    // Input converted into out (emptied first) in the form of an 8-bit
    // master; false when a character had no place in the master code page.
    bool _bVersMaitreA(const wchar_t* s, int n, CXYStringConcat<char>& out) const;
    bool _bVersMaitreA(const char* s, int n, unsigned cp, CXYStringConcat<char>& out) const;
};
