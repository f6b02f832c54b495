// One record in the host data engine's own layout: a field of defined-value
// bits (one per item, by physical index) followed by the item values at the
// offsets of the table description. The host engine shares the object: its
// fields, their order and its virtual operations are a binary contract.
#pragma once

class CAny;
class INADataSourceDescription;
class INAItemDescription;

class CNAKXRecord {
public:
    // How bInit fills the new buffer.
    enum eINITTYPE : int {
        INIT_ZERO = 0,
        INIT_DEFAULT = 1, // the items' default values
    };

    CNAKXRecord();
    CNAKXRecord(const CNAKXRecord&) = delete;
    CNAKXRecord& operator=(const CNAKXRecord&) = delete;

    // ---- Virtual operations, in slot order (the host engine calls them) ----
    virtual ~CNAKXRecord();                                                              // 1, 2
    virtual CNAKXRecord* vpclGetClone() { return pclGetClone(); }                        // 3
    virtual void vSetValues(const unsigned char* pby, unsigned int n) { SetValues(pby, n); } // 4
    virtual unsigned char* vpbyGetItemValue(const INAItemDescription* pItem, int nIndex)  // 5
    { return pbyGetItemValue(pItem, nIndex); }
    virtual const unsigned char* vpbyGetItemValue(const INAItemDescription* pItem, int nIndex) const // 6
    { return pbyGetItemValue(pItem, nIndex); }
    virtual void vSetItemValue(const INAItemDescription* pItem, const void* p, unsigned int n,
                               unsigned int nIndex)                                      // 7
    { SetItemValue(pItem, p, n, nIndex); }
    virtual void vSetItemValue(const INAItemDescription* pItem, const CAny* pValue, unsigned int nIndex) // 8
    { SetItemValue(pItem, pValue, nIndex); }
    virtual void vGetItemValue(CAny* pValue, const INAItemDescription* pItem, int nIndex) const // 9
    { GetItemValue(pValue, pItem, nIndex); }
    virtual void vGetItemValue(void* pDest, const INAItemDescription* pItem, int nIndex) const  // 10
    { GetItemValue(pDest, pItem, nIndex); }
    virtual void vSetItemValueDefined(const INAItemDescription* pItem, int bDefined, unsigned int nIndex) // 11
    { SetItemValueDefined(pItem, bDefined, nIndex); }
    virtual int vbItemValueDefined(const INAItemDescription* pItem, unsigned int nIndex) const // 12
    { return bItemValueDefined(pItem, nIndex); }

    // Sizes and allocates the buffer from the description, every item NULL;
    // INIT_DEFAULT then stores the items' default values. False when the
    // buffer cannot be had.
    bool bInit(INADataSourceDescription* piDescription, eINITTYPE eInit);

    // A new record has count 0: its owner adds the reference it keeps.
    void AddRef() { m_nRefCount++; }
    // Nothing at 0; the release to 0 deletes the record unless it is marked
    // not to be deleted. Answers the count left.
    unsigned int nRelease();

    unsigned char* pbyGetValues() const { return m_pbyValues; }
    unsigned char* pbyGetNullValuesFlags() const { return m_pbyFlags; }
    unsigned int nGetFlagFieldSize() const { return m_nFlagFieldSize; }
    unsigned int nGetBufferSize() const { return m_nBufferSize; }
    unsigned int nGetNumItem() const { return m_nNbItem; }

    // The item's defined-value bit (the index is not used).
    int bItemValueDefined(const INAItemDescription* pItem, unsigned int nIndex) const;
    // Sets (defined: not NULL) or clears the item's bit. Clearing writes the
    // NULL form: zeros over the element (over the whole item for an index
    // below 0); for a memo, eight 0xFF bytes at element 0 through the item
    // type's encoding. Setting a memo writes eight zero bytes at element 0.
    void SetItemValueDefined(const INAItemDescription* pItem, int bDefined, unsigned int nIndex);

    // The element's bytes (the whole item for an index below 0); null
    // without a buffer or outside it.
    unsigned char* pbyGetItemValue(const INAItemDescription* pItem, int nIndex);
    const unsigned char* pbyGetItemValue(const INAItemDescription* pItem, int nIndex) const;
    // Copies the element's bytes (the whole item for an index below 0);
    // nothing outside the buffer.
    void GetItemValue(void* pDest, const INAItemDescription* pItem, int nIndex) const;
    // Stores bytes by the item type's encoding and marks the item defined:
    // 8-bit text NUL-terminated inside the element, wide text as UTF-16
    // units (surrogate pairs never split), binary as a 16-bit length and at
    // most size - 2 bytes, other types as at most the element's bytes.
    void SetItemValue(const INAItemDescription* pItem, const void* p, unsigned int nLength, unsigned int nIndex);
    // The same from a host value, converted to the item's host type; a NULL
    // or empty value marks the element NULL.
    void SetItemValue(const INAItemDescription* pItem, const CAny* pValue, unsigned int nIndex);
    // The element as a host value of the item's host type (the defined bit
    // is not consulted).
    void GetItemValue(CAny* pValue, const INAItemDescription* pItem, int nIndex) const;
    // For each entry, the bit at that physical index and the element-0
    // NULL or defined form of the item.
    void SetTabItemValueDefined(const INAItemDescription* const* ppItems, unsigned int nCount,
                                const unsigned int* pnPhysical, const int* pbDefined);
    // Copies at most the values area's bytes and marks every item defined.
    void SetValues(const unsigned char* pby, unsigned int nLength);
    // The other record's buffer over this one, at most the smaller size.
    void Copy(const CNAKXRecord* pclOther);
    // A new record (count 0) with a copy of the buffer; null without memory.
    CNAKXRecord* pclGetClone() const;
    // Same sizes and every byte of flags and values equal.
    bool bEquals(const CNAKXRecord* pclOther) const;
    // A time item's 8-bit text becomes a date-time with that time of day;
    // any other case is the ordinary host cast. Its status.
    static int nCastTo(CAny* pValue, unsigned short nType, const INAItemDescription* pItem);

    // Serialised form: buffer size, item count, flag field size (u32 each),
    // then the buffer.
    unsigned int nGetSerializeSize() const { return m_nBufferSize + 12; }
    unsigned int nGetSerializeValuesOffset() const { return m_nFlagFieldSize + 12; }
    // Writes nGetSerializeSize() bytes; nothing when nLength is smaller.
    void Serialize(unsigned char* pbyOut, unsigned int nLength) const;
    // Takes the form written by Serialize from nLength bytes. The former
    // buffer and sizes stay when the new buffer cannot be had or the form is
    // inconsistent or longer than the input.
    void Deserialize(const unsigned char* pbyIn, unsigned int nLength);

protected:
    // Element i of the item (whole item for i < 0) and its size; false when
    // it does not lie inside the values area.
    bool _bGetElement(const INAItemDescription* pItem, int nIndex, unsigned char** ppby, unsigned int* pnSize) const;
    // Stores bytes into an element by the item type's encoding.
    void _StoreRaw(const INAItemDescription* pItem, const unsigned char* pbySource, unsigned int nLength, int nIndex);
    // The default values of one item, element by element.
    void _SetDefaultValue(INAItemDescription* piItem);

    unsigned int m_nRefCount;
    unsigned int m_bNoDelete; // non-zero: a release never deletes the record
    unsigned int m_nBufferSize; // flag field + values
    unsigned char* m_pbyBuffer;
    unsigned int m_nNbItem; // items physically in the file
    unsigned char* m_pbyValues; // just after the flag field
    unsigned int m_nFlagFieldSize; // 0 without item, else ((count - 1) >> 3) + 1
    unsigned char* m_pbyFlags; // start of the buffer
};

// The host engine reads the eight words after the table at fixed places
// (the record tests check each one).
static_assert(sizeof(void*) != 4 || sizeof(CNAKXRecord) == 36, "CNAKXRecord: table and eight 32-bit fields");
