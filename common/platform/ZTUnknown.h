// Root of the reference-counted objects shared between owners (errors,
// streams, reference-holding arrays, record memos).
#pragma once

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
