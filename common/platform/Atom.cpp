#include "common/platform/Atom.h"

#include "common/text/STR.h"

#include <cwchar>
#include <new>

unsigned CAtom::gnId = 1;
CAtomList gclAtomList;

CAtom::CAtom(const wchar_t* name, ATOM atom)
    : m_nRefCount(1), m_nAtom(atom), m_pNext(nullptr), m_pszName(STR_pszCreateW(name))
{
    if (m_pszName == nullptr)
        throw std::bad_alloc();
}

CAtom::~CAtom()
{
    STR_DeleteW(m_pszName);
}

CAtomList::~CAtomList()
{
    while (m_pHead != nullptr) {
        CAtom* p = m_pHead;
        m_pHead = p->m_pNext;
        delete p;
    }
}

CAtom* CAtomList::pclFind(const wchar_t* name) const
{
    for (CAtom* p = m_pHead; p != nullptr; p = p->m_pNext)
        if (wcscasecmp(p->m_pszName, name) == 0)
            return p;
    return nullptr;
}

CAtom* CAtomList::pclFind(ATOM atom) const
{
    for (CAtom* p = m_pHead; p != nullptr; p = p->m_pNext)
        if (p->m_nAtom == atom)
            return p;
    return nullptr;
}

CAtom* CAtomList::pclAppend(const wchar_t* name)
{
    // Numbers are never reused: past 0xFFFF there is none left.
    if (CAtom::gnId > 0xFFFF)
        return nullptr;
    CAtom* atom = new CAtom(name, static_cast<ATOM>(CAtom::gnId));
    ++CAtom::gnId;
    CAtom** pp = &m_pHead;
    while (*pp != nullptr)
        pp = &(*pp)->m_pNext;
    *pp = atom;
    return atom;
}

void CAtomList::Remove(CAtom* atom)
{
    for (CAtom** pp = &m_pHead; *pp != nullptr; pp = &(*pp)->m_pNext) {
        if (*pp == atom) {
            *pp = atom->m_pNext;
            delete atom;
            return;
        }
    }
}

ATOM AddAtom(const wchar_t* name)
{
    if (name == nullptr)
        return 0;
    CAtom* atom = gclAtomList.pclFind(name);
    if (atom != nullptr) {
        ++atom->m_nRefCount;
        return atom->m_nAtom;
    }
    atom = gclAtomList.pclAppend(name);
    return atom != nullptr ? atom->m_nAtom : 0;
}

ATOM FindAtom(const wchar_t* name)
{
    if (name == nullptr)
        return 0;
    const CAtom* atom = gclAtomList.pclFind(name);
    return atom != nullptr ? atom->m_nAtom : 0;
}

unsigned GetAtomName(ATOM atom, wchar_t* buffer, int size)
{
    const CAtom* p = gclAtomList.pclFind(atom);
    if (p == nullptr || buffer == nullptr || size <= 0)
        return 0;
    // Always terminated within the buffer.
    return static_cast<unsigned>(STR_nCopyW(buffer, static_cast<unsigned>(size), p->m_pszName, -1));
}

ATOM DeleteAtom(ATOM atom)
{
    CAtom* p = gclAtomList.pclFind(atom);
    if (p == nullptr)
        return atom;
    if (--p->m_nRefCount <= 0)
        gclAtomList.Remove(p);
    return 0;
}
