// Reference-counted base of the driver's internal objects.
#pragma once

#include "common/text/RefTraits.h"

class CInterf {
public:
    CInterf() : m_nRefCount(0), m_bNoDelete(0) {}
    // A copy is a new object: nobody holds it yet. An assignment keeps the
    // holders and the do-not-delete mark of the target.
    CInterf(const CInterf&) : m_nRefCount(0), m_bNoDelete(0) {}
    CInterf& operator=(const CInterf&) { return *this; }

    virtual ~CInterf();
    virtual int _NotToBeCalled() const;

    // A new object has count 0: its creator adds the reference it keeps.
    void AddRef() { m_nRefCount++; }
    // Drops one reference (nothing at 0); the last one destroys the object
    // unless it is marked not to be deleted. Answers the count left.
    unsigned int nRelease();
    unsigned int nGetRef() const { return m_nRefCount; }

protected:
    unsigned int m_nRefCount;
    unsigned int m_bNoDelete; // non-zero: a release to 0 keeps the object
};

// Objects with an internal and an external (the host's) count: drops one
// from nCount, nothing at 0, and destroys the object when both are 0.
// Answers the count left.
template <class T, class C, class O>
C g_nReleaseOneOfTwo(T* p, C& nCount, const O& nOther)
{
    if (!(nCount > 0))
        return 0;
    if (--nCount == 0 && nOther == 0) {
        delete p;
        return 0;
    }
    return nCount;
}

// Held in containers: count + 1; release does nothing at 0, else count - 1
// and, at 0 without the do-not-delete mark, deletes.
template <class T>
struct CRefTraits<T, TRefTraitsFor<T, CInterf>> {
    static void AddRef(T* p) { p->AddRef(); }
    static void Release(T* p) { p->nRelease(); }
};
