// Atoms: reference-counted wide names with 16-bit numbers, kept in one
// process-wide list (AddAtom and its relatives in WinApi.h work on it).
#pragma once

#include "common/platform/WinApi.h"

class CAtom {
public:
    CAtom(const wchar_t* name, ATOM atom);
    ~CAtom();
    CAtom(const CAtom&) = delete;
    CAtom& operator=(const CAtom&) = delete;

    int m_nRefCount;
    ATOM m_nAtom;
    CAtom* m_pNext;
    wchar_t* m_pszName;  // heap copy

    // Next atom number: starts at 1 and only grows.
    static unsigned gnId;
};

// The list, in creation order; its destructor frees every node at exit.
class CAtomList {
public:
    CAtomList() : m_pHead(nullptr) {}
    ~CAtomList();
    CAtomList(const CAtomList&) = delete;
    CAtomList& operator=(const CAtomList&) = delete;

    CAtom* pclFind(const wchar_t* name) const;
    CAtom* pclFind(ATOM atom) const;
    // Appends a node with count 1; null when no atom number is left.
    CAtom* pclAppend(const wchar_t* name);
    void Remove(CAtom* atom);

private:
    CAtom* m_pHead;
};

extern CAtomList gclAtomList;
