// Hash tables that hold one reference on every value they file: the typed
// forms of CHashTableBounce in which the driver keeps its live objects by
// number, by object or by name.
//
// Values are pointers to counted objects; the reference protocol of a type
// is CRefTraits<T> (common/text/Tableau.h), which each counted type
// specialises next to its definition when it is not a CInterf or a
// CZTUnknown.
//
// The raw operations of CHashTableBounce stay available to owners and keep
// their meaning: they move words and take or drop no reference (an owner
// that removes a pair with bDeleteElement releases the value itself). The
// typed operations (bAddValue, bSetValue, bGetValue, bRemoveValue,
// SupprimeTout) do the reference work.
#pragma once

#include "common/text/HashTableBounce.h"
#include "common/text/Tableau.h"
#include "common/text/SysUtils.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <type_traits>

// A key as the table's pointer-sized word, and back.
template <class K>
struct CHTBKeyWord {
    static_assert(sizeof(K) <= sizeof(void*), "keys are pointer-sized words");

    static void* pToWord(K key)
    {
        if constexpr (std::is_pointer<K>::value)
            return const_cast<void*>(static_cast<const void*>(key));
        else
            return reinterpret_cast<void*>(static_cast<uintptr_t>(key));
    }
    static K FromWord(const void* pWord)
    {
        if constexpr (std::is_pointer<K>::value)
            return static_cast<K>(const_cast<void*>(pWord));
        else
            return static_cast<K>(reinterpret_cast<uintptr_t>(pWord));
    }
};

template <class K, class V>
class CRefHashTable : protected CHashTableBounce {
    static_assert(std::is_pointer<V>::value, "values are pointers to counted objects");
    typedef typename std::remove_cv<typename std::remove_pointer<V>::type>::type TObject;

public:
    explicit CRefHashTable(unsigned int nRequest = 7) : CHashTableBounce(nRequest)
    {
        SetCmp(_nHTBDefaultCompare);
        SetHashVal(_dwHTBDefaultHashVal);
    }
    ~CRefHashTable() override { _DropAll(false); }

    unsigned int dwGetNumElement() const override { return CHashTableBounce::dwGetNumElement(); }

    void _AddRef(V pValue) const
    {
        if (pValue != nullptr)
            CRefTraits<TObject>::AddRef(const_cast<TObject*>(pValue));
    }
    void _Release(V pValue) const
    {
        if (pValue != nullptr)
            CRefTraits<TObject>::Release(const_cast<TObject*>(pValue));
    }

    // Keys equal when their words are; a key hashes to its own word.
    static int _nHTBDefaultCompare(const void* pKey, const void* pStoredKey) { return pKey == pStoredKey ? 0 : 1; }
    static unsigned int _dwHTBDefaultHashVal(const void* pKey)
    {
        return static_cast<unsigned int>(reinterpret_cast<uintptr_t>(pKey));
    }

    // Drops every value's reference and empties the table back to its
    // first size.
    void SupprimeTout()
    {
        _DropAll(false);
        _Restart();
    }

    // Files a pair and takes a reference on the value (none when the table
    // cannot grow: false). An equal key already filed is shadowed.
    bool bAddValue(K key, V pValue)
    {
        if (!bAddElement(CHTBKeyWord<K>::pToWord(key), pValue))
            return false;
        _AddRef(pValue);
        return true;
    }
    // Files the value under the key, in place of the value found there
    // (whose reference is then dropped); files a new pair otherwise.
    bool bSetValue(K key, V pValue)
    {
        void** ppValue = pGetElement(CHTBKeyWord<K>::pToWord(key));
        if (ppValue == nullptr)
            return bAddValue(key, pValue);
        V pOld = static_cast<V>(*ppValue);
        _AddRef(pValue);
        *ppValue = pValue;
        _Release(pOld);
        return true;
    }
    // The value of a key, with a reference for the caller to release.
    bool bGetValue(K key, V* ppValue) const
    {
        void* pValue = nullptr;
        if (!bGetElement(CHTBKeyWord<K>::pToWord(key), &pValue, nullptr))
            return false;
        _AddRef(static_cast<V>(pValue));
        if (ppValue != nullptr)
            *ppValue = static_cast<V>(pValue);
        else
            _Release(static_cast<V>(pValue));
        return true;
    }
    // Removes the pair of a key and drops the table's reference.
    bool bRemoveValue(K key)
    {
        void* pValue = nullptr;
        if (!bDeleteElement(CHTBKeyWord<K>::pToWord(key), &pValue, nullptr))
            return false;
        _Release(static_cast<V>(pValue));
        return true;
    }

    using CHashTableBounce::SetCmp;
    using CHashTableBounce::SetHashVal;
    using CHashTableBounce::pfGetCmp;
    using CHashTableBounce::pfGetHashVal;
    using CHashTableBounce::bAddElement;
    using CHashTableBounce::bDeleteElement;
    using CHashTableBounce::bGetElement;
    using CHashTableBounce::pGetElement;
    using CHashTableBounce::bParseTable;
    using CHashTableBounce::StopParsing;
    using CHashTableBounce::bParseSetElement;
    using CHashTableBounce::bParseSetKey;
    // Empties the table without touching the values (see SupprimeTout).
    using CHashTableBounce::DeleteAll;

protected:
    // Unlinks every pair and then releases its value (and frees its key),
    // so that an object destroyed by its release no longer finds itself in
    // the table. Pairs filed meanwhile by such a destructor are taken too.
    void _DropAll(bool bFreeKeys)
    {
        while (this->m_nElementCount > 0) {
            unsigned int nPosition = 0;
            void* pValue = nullptr;
            void* pKey = nullptr;
            while (bParseTable(&nPosition, 1, &pValue, &pKey)) {
                _Release(static_cast<V>(pValue));
                if (bFreeKeys)
                    XMALLOC_Del_(pKey);
            }
        }
    }
    // Back to the first size once emptied.
    void _Restart()
    {
        if (this->m_nLevel != 0)
            this->__Init(7, 1);
    }
};

// The public face of CRefHashTable.
template <class K, class V>
class CNARefHashTable : public CRefHashTable<K, V> {
public:
    explicit CNARefHashTable(unsigned int nRequest = 7) : CRefHashTable<K, V>(nRequest) {}
    ~CNARefHashTable() override {}
};

// Values filed by name: the keys are heap copies owned by the table,
// compared and hashed ignoring case and accents, and the last pair found by
// name is kept to answer the next lookup of the same name. Every operation
// that removes, replaces or shadows that pair forgets it.
template <class V>
class CRefStringHashTable : protected CRefHashTable<wchar_t*, V> {
    typedef CRefHashTable<wchar_t*, V> CBase;

public:
    explicit CRefStringHashTable(unsigned int nRequest = 7)
        : CBase(nRequest), m_pszLastFoundKey(nullptr), m_pLastFoundValue(nullptr)
    {
        this->SetCmp(CHashTableBounce::nStringLogiqueCompare);
        this->SetHashVal(CHashTableBounce::dwStringLogiqueHashVal);
    }
    ~CRefStringHashTable() override
    {
        ClearLastFound();
        this->_DropAll(true);
    }

    // Files a copy of the name with the value and takes a reference; false
    // (nothing filed, no reference) when the copy or the growth fails.
    bool bAddValue(const wchar_t* pszName, V pValue)
    {
        wchar_t* pszCopy = _pszCopy(pszName);
        if (pszCopy == nullptr)
            return false;
        if (!bAddElement(pszCopy, pValue)) {
            XMALLOC_Del_(pszCopy);
            return false;
        }
        this->_AddRef(pValue);
        return true;
    }
    // Replaces the value filed under the name (dropping its reference) or
    // files a new pair.
    bool bSetValue(const wchar_t* pszName, V pValue)
    {
        void** ppValue = pGetElement(pszName);
        if (ppValue == nullptr)
            return bAddValue(pszName, pValue);
        V pOld = static_cast<V>(*ppValue);
        this->_AddRef(pValue);
        *ppValue = pValue;
        this->_Release(pOld);
        return true;
    }
    // The value filed under the name, with a reference for the caller.
    bool bGetValue(const wchar_t* pszName, V* ppValue)
    {
        V pFound = nullptr;
        // The same text is the same name under any compare: the exact check
        // spares the locale compare on the usual repeated lookup.
        if (m_pszLastFoundKey != nullptr &&
            ((pszName != nullptr && std::wcscmp(pszName, m_pszLastFoundKey) == 0) ||
             this->m_pfCompare(pszName, m_pszLastFoundKey) == 0)) {
            pFound = m_pLastFoundValue;
        } else {
            void* pValue = nullptr;
            void* pKey = nullptr;
            if (!this->bGetElement(pszName, &pValue, &pKey))
                return false;
            pFound = static_cast<V>(pValue);
            m_pszLastFoundKey = static_cast<wchar_t*>(pKey);
            m_pLastFoundValue = pFound;
        }
        this->_AddRef(pFound);
        if (ppValue != nullptr)
            *ppValue = pFound;
        else
            this->_Release(pFound);
        return true;
    }
    // Removes the pair of the name, drops its reference and frees the key.
    bool bRemoveValue(const wchar_t* pszName)
    {
        void* pValue = nullptr;
        void* pKey = nullptr;
        if (!bDeleteElement(pszName, &pValue, &pKey))
            return false;
        this->_Release(static_cast<V>(pValue));
        XMALLOC_Del_(pKey);
        return true;
    }
    // Releases every value, frees every key and empties the table back to
    // its first size.
    void SupprimeTout()
    {
        ClearLastFound();
        this->_DropAll(true);
        this->_Restart();
    }
    void ClearLastFound()
    {
        m_pszLastFoundKey = nullptr;
        m_pLastFoundValue = nullptr;
    }

    // Raw operations (keys and values as words; no reference, no key copy
    // or free), keeping the last-found pair true.
    bool bAddElement(void* pKey, void* pValue) override
    {
        if (m_pszLastFoundKey != nullptr && this->m_pfCompare(pKey, m_pszLastFoundKey) == 0)
            ClearLastFound();
        return CBase::bAddElement(pKey, pValue);
    }
    bool bDeleteElement(const void* pKey, void** ppValue, void** ppStoredKey) override
    {
        void* pValue = nullptr;
        void* pStoredKey = nullptr;
        if (!CBase::bDeleteElement(pKey, &pValue, &pStoredKey))
            return false;
        _Forget(pStoredKey);
        if (ppValue != nullptr)
            *ppValue = pValue;
        if (ppStoredKey != nullptr)
            *ppStoredKey = pStoredKey;
        return true;
    }
    bool bParseTable(unsigned int* pnPosition, int bRemove, void** ppValue, void** ppKey) override
    {
        void* pValue = nullptr;
        void* pKey = nullptr;
        if (!CBase::bParseTable(pnPosition, bRemove, &pValue, &pKey))
            return false;
        if (bRemove)
            _Forget(pKey);
        if (ppValue != nullptr)
            *ppValue = pValue;
        if (ppKey != nullptr)
            *ppKey = pKey;
        return true;
    }
    // The caller may overwrite the value through the address.
    void** pGetElement(const void* pKey) override
    {
        void** ppValue = CBase::pGetElement(pKey);
        if (ppValue != nullptr) {
            const CHashTableBounce::_stELEMENT* pElement = reinterpret_cast<const CHashTableBounce::_stELEMENT*>(
                reinterpret_cast<const char*>(ppValue) - offsetof(CHashTableBounce::_stELEMENT, pValue));
            _Forget(pElement->pKey);
        }
        return ppValue;
    }
    void DeleteAll(unsigned int nRequest) override
    {
        ClearLastFound();
        CBase::DeleteAll(nRequest);
    }
    bool bParseSetElement(unsigned int nPosition, void* pValue, void** ppOldValue = nullptr) override
    {
        _ForgetAt(nPosition);
        return CBase::bParseSetElement(nPosition, pValue, ppOldValue);
    }
    bool bParseSetKey(unsigned int nPosition, void* pKey, void** ppOldKey = nullptr) override
    {
        _ForgetAt(nPosition);
        return CBase::bParseSetKey(nPosition, pKey, ppOldKey);
    }

    // A compare that keeps the logical hash true: keys it finds equal must
    // be equal ignoring case and accents. Only on an empty table.
    using CBase::SetCmp;
    using CBase::dwGetNumElement;
    using CBase::_AddRef;
    using CBase::_Release;
    using CBase::pfGetCmp;
    using CBase::pfGetHashVal;
    using CBase::bGetElement;
    using CBase::StopParsing;

protected:
    static wchar_t* _pszCopy(const wchar_t* pszName)
    {
        if (pszName == nullptr)
            pszName = L"";
        const size_t nChars = wcslen(pszName) + 1;
        wchar_t* pszCopy = static_cast<wchar_t*>(XMALLOC_pNew_(nChars * sizeof(wchar_t)));
        if (pszCopy != nullptr)
            memcpy(pszCopy, pszName, nChars * sizeof(wchar_t));
        return pszCopy;
    }
    void _Forget(const void* pStoredKey)
    {
        if (pStoredKey != nullptr && pStoredKey == m_pszLastFoundKey)
            ClearLastFound();
    }
    void _ForgetAt(unsigned int nPosition)
    {
        if (nPosition != 0 && nPosition <= this->m_nPoolCapacity)
            _Forget(this->_Entry(nPosition).pKey);
    }

    wchar_t* m_pszLastFoundKey; // stored key of the last pair found by name
    V m_pLastFoundValue;
};
