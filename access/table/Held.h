// Scope holders for the data access's operations: one reference taken
// elsewhere (a counted object, or an external one on an item description)
// given back when the scope ends.
#pragma once

#include "access/driver/NAItemDescription.h"

// Holds one reference taken elsewhere and gives it back at the end of a scope.
template <class T>
class CHeld {
public:
    explicit CHeld(T* p = nullptr) : m_p(p) {}
    ~CHeld() { Reset(nullptr); }
    CHeld(const CHeld&) = delete;
    CHeld& operator=(const CHeld&) = delete;
    void Reset(T* p)
    {
        T* pOld = m_p;
        m_p = p;
        if (pOld != nullptr)
            pOld->nRelease();
    }
    // The reference handed on to the caller.
    T* Release()
    {
        T* p = m_p;
        m_p = nullptr;
        return p;
    }
    T* Get() const { return m_p; }
    T* operator->() const { return m_p; }
    explicit operator bool() const { return m_p != nullptr; }

private:
    T* m_p;
};

// A new counted object (count 0) with the reference a holder keeps; null
// stays null.
template <class T>
T* pclWithReference(T* p)
{
    if (p != nullptr)
        p->AddRef();
    return p;
}

// Holds one external reference on an item description.
class CHeldItem {
public:
    explicit CHeldItem(INAItemDescription* pi = nullptr) : m_pi(pi) {}
    ~CHeldItem() { Reset(nullptr); }
    CHeldItem(const CHeldItem&) = delete;
    CHeldItem& operator=(const CHeldItem&) = delete;
    void Reset(INAItemDescription* pi)
    {
        INAItemDescription* piOld = m_pi;
        m_pi = pi;
        if (piOld != nullptr)
            piOld->nExternalRelease();
    }
    // The reference handed on to the caller.
    INAItemDescription* Release()
    {
        INAItemDescription* pi = m_pi;
        m_pi = nullptr;
        return pi;
    }
    INAItemDescription* Get() const { return m_pi; }
    INAItemDescription* operator->() const { return m_pi; }
    explicit operator bool() const { return m_pi != nullptr; }

private:
    INAItemDescription* m_pi;
};
