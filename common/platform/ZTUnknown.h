// Root of the reference-counted objects shared between owners (errors,
// streams, reference-holding arrays, record memos).
#pragma once

#include "common/text/RefTraits.h"

class CZTUnknown {
public:
    CZTUnknown() : m_nRefCount(0) {}
    // The count belongs to the object, not to its value: a copy starts
    // unowned and an assignment keeps the owners of the target.
    CZTUnknown(const CZTUnknown&) : m_nRefCount(0) {}
    CZTUnknown& operator=(const CZTUnknown&) { return *this; }

    virtual ~CZTUnknown();
    // Gives one reference back; the last one destroys the most derived
    // object. Answers the count left.
    virtual unsigned int dwRelease();

    // There is no add-reference operation: an owner that keeps the object
    // raises this count itself. Plain integer: callers are serialised.
    int m_nRefCount;
};

// Held in containers: count + 1, given back with dwRelease.
template <class T>
struct CRefTraits<T, TRefTraitsFor<T, CZTUnknown>> {
    static void AddRef(T* p) { p->m_nRefCount++; }
    static void Release(T* p) { p->dwRelease(); }
};
