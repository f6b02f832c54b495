// Which row a record value is: a row identifier read from the server, or,
// when the table offers none, the whole record image. The record cache keeps
// identities serialised and files them in a hash table with each kind's own
// hash and compare functions.
#pragma once

#include "common/platform/ZTUnknown.h"

#include <cstddef>

class CHashTableBounce;
class CNAConvertVariant;
class CNARecordMemo;
class CNARecordValue;
template <class T>
class CXYString;

class CNARecordId : public CZTUnknown {
public:
    enum eRECORDIDTYPE : int {
        RECORDID_NONE = 0,
        RECORDID_RECORDVALUES = 1,
        RECORDID_ROWID = 3,
    };

    ~CNARecordId() override;

    // ---- Virtual operations, in slot order after dwRelease ----
    virtual int eGetRecordIdType() const = 0;
    // A new identity (count 0) for the record value; null on failure.
    virtual CNARecordId* pclGetClone(const CNARecordValue* pclValue) const = 0;
    virtual bool bEqualRecordId(const CNARecordId* pclOther) const = 0;
    virtual bool bCopy(const CNARecordValue* pclValue, const CNARecordId* pclSource) = 0;
    virtual unsigned int nGetSerializedSize() const = 0;
    // Writes nothing when the capacity is below nGetSerializedSize().
    virtual void Serialize(unsigned char* pbyOut, unsigned int nCapacity) const = 0;
    // Reads no more than nLength bytes; a shorter form changes nothing.
    virtual void DeSerialize(const unsigned char* pbyIn, unsigned int nLength) = 0;
    virtual unsigned int dwGetHashVal() const = 0;
    virtual void RecordIdToString(CXYString<wchar_t>* pclText, const wchar_t* pszPrefix, int nFlag) const = 0;
    virtual void SetHashTableFct_SerializedObject(CHashTableBounce* pclTable) const = 0;

    // The hash stored at the start of a serialised identity.
    static unsigned int g_dwPtrHashVal(const void* pSerialized);

protected:
    // The kind's compare and the stored hash.
    static void _SetHashTableFct(CHashTableBounce* pclTable, int (*pfCompare)(const void*, const void*));
};

// The record image itself (not owned): the record cache holds the bytes.
class CNARecordId_RecordValues : public CNARecordId {
public:
    // Serialised: hash, image length (u32 each), image and memo pointers.
    static constexpr unsigned int SERIALIZED_SIZE = 8 + 2 * sizeof(void*);

    CNARecordId_RecordValues(const unsigned char* pbyImage, unsigned int nLength, const CNARecordMemo* pclMemo);
    // The value's whole record buffer (flags and values) and its memos.
    explicit CNARecordId_RecordValues(const CNARecordValue* pclValue);

    int eGetRecordIdType() const override { return RECORDID_RECORDVALUES; }
    CNARecordId* pclGetClone(const CNARecordValue* pclValue) const override;
    bool bEqualRecordId(const CNARecordId* pclOther) const override;
    bool bCopy(const CNARecordValue* pclValue, const CNARecordId* pclSource) override;
    unsigned int nGetSerializedSize() const override { return SERIALIZED_SIZE; }
    void Serialize(unsigned char* pbyOut, unsigned int nCapacity) const override;
    void DeSerialize(const unsigned char* pbyIn, unsigned int nLength) override;
    unsigned int dwGetHashVal() const override;
    void RecordIdToString(CXYString<wchar_t>* pclText, const wchar_t* pszPrefix, int nFlag) const override;
    void SetHashTableFct_SerializedObject(CHashTableBounce* pclTable) const override;

    // Images compared over the common length, the shorter one smaller.
    static int g_nCompare_CNARecordId_RecordValues(const void* pA, const void* pB);

    void Point(const unsigned char* pbyImage, unsigned int nLength, const CNARecordMemo* pclMemo);

    const unsigned char* pbyGetImage() const { return m_pbyImage; }
    unsigned int nGetLength() const { return m_nLength; }
    const CNARecordMemo* pclGetMemoNoRef() const { return m_pclMemo; }

protected:
    void _Point(const CNARecordValue* pclValue);

    const unsigned char* m_pbyImage;
    unsigned int m_nLength;
    const CNARecordMemo* m_pclMemo;
};

// One value read from the server (one reference held on the cell).
class CNARecordId_RowId : public CNARecordId {
public:
    explicit CNARecordId_RowId(CNAConvertVariant* pclValue);
    ~CNARecordId_RowId() override;

    int eGetRecordIdType() const override { return RECORDID_ROWID; }
    CNARecordId* pclGetClone(const CNARecordValue* pclValue) const override;
    bool bEqualRecordId(const CNARecordId* pclOther) const override;
    bool bCopy(const CNARecordValue* pclValue, const CNARecordId* pclSource) override;
    // Hash, value size, value bytes.
    unsigned int nGetSerializedSize() const override;
    void Serialize(unsigned char* pbyOut, unsigned int nCapacity) const override;
    void DeSerialize(const unsigned char* pbyIn, unsigned int nLength) override;
    unsigned int dwGetHashVal() const override;
    void RecordIdToString(CXYString<wchar_t>* pclText, const wchar_t* pszPrefix, int nFlag) const override;
    void SetHashTableFct_SerializedObject(CHashTableBounce* pclTable) const override;

    static int g_nCompare_CNARecordId_RowId(const void* pA, const void* pB);

    CNAConvertVariant* pclGetValueNoRef() const { return m_pclValue; }

protected:
    CNAConvertVariant* m_pclValue;
};

// The record-values form the cache stores next to the images.
static_assert(sizeof(void*) != 4 || CNARecordId_RecordValues::SERIALIZED_SIZE == 16,
              "record-values identity: hash, length and two 32-bit pointers");
static_assert(sizeof(void*) != 4 || sizeof(CNARecordId_RecordValues) == 20, "vtable, count and three fields");
static_assert(sizeof(void*) != 4 || sizeof(CNARecordId_RowId) == 12, "vtable, count and the value");
