// One record in the host data engine's own layout: a field of defined-value
// bits (one per item, by physical index) followed by the item values at the
// offsets of the table description. The host engine shares the object: its
// fields, their order and its virtual operations are a binary contract.
#pragma once

class INAItemDescription;

class CNAKXRecord {
public:
    CNAKXRecord();
    CNAKXRecord(const CNAKXRecord&) = delete;
    CNAKXRecord& operator=(const CNAKXRecord&) = delete;
    virtual ~CNAKXRecord();

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

    // Serialised form: buffer size, item count, flag field size (u32 each),
    // then the buffer.
    unsigned int nGetSerializeSize() const { return m_nBufferSize + 12; }
    unsigned int nGetSerializeValuesOffset() const { return m_nFlagFieldSize + 12; }
    // out holds nGetSerializeSize() bytes; the length is not used.
    void Serialize(unsigned char* pbyOut, unsigned int nLength) const;
    // Takes the form written by Serialize. The former buffer and sizes stay
    // when the new buffer cannot be had or the form is inconsistent.
    void Deserialize(const unsigned char* pbyIn, unsigned int nLength);

protected:
    // Element i of the item (whole item for i < 0) and its size; false when
    // it does not lie inside the values area.
    bool _bGetElement(const INAItemDescription* pItem, int nIndex, unsigned char** ppby, unsigned int* pnSize) const;
    // Stores bytes into an element by the item type's encoding.
    void _StoreRaw(const INAItemDescription* pItem, const unsigned char* pbySource, unsigned int nLength, int nIndex);

    unsigned int m_nRefCount;
    unsigned int m_bNoDelete; // non-zero: a release never deletes the record
    unsigned int m_nBufferSize; // flag field + values
    unsigned char* m_pbyBuffer;
    unsigned int m_nNbItem; // items physically in the file
    unsigned char* m_pbyValues; // just after the flag field
    unsigned int m_nFlagFieldSize; // 0 without item, else ((count - 1) >> 3) + 1
    unsigned char* m_pbyFlags; // start of the buffer
};

static_assert(sizeof(void*) != 4 || sizeof(CNAKXRecord) == 36, "CNAKXRecord: table and eight 32-bit fields");
