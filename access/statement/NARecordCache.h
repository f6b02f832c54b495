// The rows a statement has fetched: record images and serialised identities
// packed into large heap blocks, a hash index from identity to row number,
// memo values and row states. The position cache of a data access is the
// same store with reference-counted slots that are reused once released.
#pragma once

#include "access/driver/Interf.h"
#include "common/text/HashTableBounce.h"
#include "common/text/Tableau.h"

class CNAKXRecord;
class CNARecordId;
class CNARecordMemo;
class CNARecordValue;
class CXError;

// State of a cached row.
enum eNA_RECORDSTATE : unsigned int {
    NA_RECORDSTATE_NORMAL = 0,
    NA_RECORDSTATE_DELETED = 128,
};

// Where a move starts from.
enum eNA_PARSEDIRECTION : int {
    NA_PARSE_FIRST = 0,
    NA_PARSE_LAST = 1,
    NA_PARSE_NEXT = 2,
    NA_PARSE_PREVIOUS = 3,
    // Stays on the current record.
    NA_PARSE_STAY = 4,
};

// Length-prefixed serialised elements packed in blocks that never move once
// made. Failed allocations leave the table as it was.
template <class T>
class CTSimpleTable {
public:
    struct stBUFFERINFO {
        unsigned char* pbyData;
        unsigned int nUsed;
        unsigned int nCapacity;
    };
    // {0xFFFFFFFF, null}: no stored bytes.
    struct stENTRY {
        unsigned int nOffset;
        stBUFFERINFO* pclBuffer;
    };
    enum : unsigned int { NO_OFFSET = 0xFFFFFFFFu };

    CTSimpleTable();
    virtual ~CTSimpleTable();
    CTSimpleTable(const CTSimpleTable&) = delete;
    CTSimpleTable& operator=(const CTSimpleTable&) = delete;

    int nGetCount() const { return m_tabEntry.nGetNbElement(); }
    // The stored bytes of entry i (after the length word) and their length;
    // null for an entry without bytes or outside the table.
    unsigned char* pbyGetAt(int i, unsigned int* pnLength = nullptr) const;
    const stENTRY* pstGetEntry(int i) const { return i >= 0 && i < nGetCount() ? &m_tabEntry[i] : nullptr; }
    int nGetBlockCount() const { return m_tabBuffer.nGetNbElement(); }
    const stBUFFERINFO* pstGetBlock(int i) const { return m_tabBuffer[i]; }
    unsigned int nGetEntriesPerBlock() const { return m_nEntriesPerBlock; }
    unsigned int nGetBlockCap() const { return m_nBlockCap; }
    int nGetGrowStep() const { return m_tabEntry.nGetPasAgrandissement(); }

    // Room for nMore entries more; false without memory.
    bool bReserve(int nMore);
    // Room for nLength bytes in a block, the length word written before
    // them; null, nothing changed, without memory.
    unsigned char* pbyPlace(unsigned int nLength, stENTRY* pstEntry);
    // Serialises the element into a block; {no bytes} without element.
    // False, nothing changed, without memory.
    bool bStore(const T* pElement, stENTRY* pstEntry);
    // Entry i's stored bytes when nLength bytes fit in them, else null.
    unsigned char* pbyRoomAt(int i, unsigned int nLength) const;
    // After bReserve these cannot fail.
    void Add(const stENTRY& st) { m_tabEntry.Ajoute(&st); }
    void Insert(const stENTRY& st, int i) { m_tabEntry.Insere(&st, i); }
    void SetEntry(int i, const stENTRY& st) { m_tabEntry.SetAt(&st, i); }
    void Remove(int i) { m_tabEntry.Supprime(i, 1); }
    void Truncate(int nCount) { m_tabEntry.SupprimeDernier(nGetCount() - nCount); }
    // Entry i's bytes into the element; false without stored bytes or when
    // they do not fit it.
    bool bGetElement(int i, T* pElement) const;
    // Frees every block and empties the entries; the sizes stay.
    void RemoveAll();
    void SetGrowStep(unsigned int nPerBlock, unsigned int nCap);

    static const stENTRY s_stNoBytes;
    // The bytes after the length word; null for {no bytes}.
    static unsigned char* pbyBytesOf(const stENTRY& st);
    // The length word before stored bytes.
    static void SetLength(unsigned char* pbyStored, unsigned int nLength);

    // Element serializers.
    static unsigned int _nGetDataSize(const T* pElement);
    static void _Serialize(const T* pElement, unsigned char* pby, unsigned int nSize);
    // No more than nSize bytes; false when they do not make an element.
    static bool _Deserialize(const unsigned char* pby, unsigned int nSize, T* pElement);

    // Where the next store would go, to undo a store that a later step
    // could not follow.
    struct stMARK {
        stBUFFERINFO* pclCurrent;
        unsigned int nUsed;
        int nBlocks;
        unsigned int nEntriesPerBlock;
        unsigned int nBlockCap;
        int nGrowStep;
    };
    stMARK stGetMark() const;
    void Rollback(const stMARK& st);

protected:
    CTTableau<stENTRY> m_tabEntry;
    CTTableau<stBUFFERINFO*> m_tabBuffer;
    stBUFFERINFO* m_pclCurrent;
    unsigned int m_nEntriesPerBlock;
    unsigned int m_nBlockCap;
};

template <class T>
class CNABufferTable : public CTSimpleTable<T> {
public:
    ~CNABufferTable() override {}
};

// The index of serialised identities, with room made before a change.
class CNARecordIdIndex : public CHashTableBounce {
public:
    CNARecordIdIndex() : CHashTableBounce(7) {}
    // A free entry for the next addition; false without memory.
    bool bReserve() { return m_nFreeHead != 0 || __bGrow(); }
    // Drops the pairs of value nRow and lowers every value above it.
    void RemoveRow(int nRow);
    // Raises every value at or above nRow.
    void RaiseFrom(int nRow);
    // Removes the pair of this exact stored key.
    void RemoveKey(const void* pKey);
    // The row of a key equal to this one that bAccept takes, the one a
    // lookup finds tried first; -1 when there is none.
    template <class F>
    int nFindRow(const void* pKey, F bAccept) const;
};

class CNARecordCache : public CInterf {
public:
    enum eNACACHEFLAG : unsigned int {
        CACHE_ENABLED = 1,
        CACHE_FETCHCOMPLETE = 8,
    };
    // The statement kinds a write notification carries.
    enum : int {
        NA_NOTIFY_UPDATE = 2,
        NA_NOTIFY_INSERT = 3,
        NA_NOTIFY_DELETE = 4,
    };

    explicit CNARecordCache(unsigned int nFlags);
    ~CNARecordCache() override;

    // ---- Virtual operations, in slot order ----
    virtual void SetGrowStep(int nStep, int nMax);
    // The new row number, -1 without memory.
    virtual int nAjoute(const CNARecordValue* pclRow) { return _nAjoute(pclRow); }
    virtual void Supprime(unsigned int i);
    virtual void SupprimeTout();
    virtual int _nAjoute(const CNARecordValue* pclRow);
    virtual int _Insere(const CNARecordValue* pclRow, unsigned int i);

    // Deleted placeholders up to i, then the row at i; its number or -1.
    int Insere(const CNARecordValue* pclRow, unsigned int i);
    // 1 when row i holds the row (or a deleted placeholder for none).
    int Update(unsigned int i, const CNARecordValue* pclRow);
    int bGetAt(CNARecordValue* pclDst, unsigned int i);
    int bGetAt(CNARecordValue* pclDst, const CNARecordId* pclId);
    int nGetRecordIndice(const CNARecordId* pclId);
    // The row of a record value: its identity, and the same refused values
    // (a value the server held and NULL give the same image); -1 when none.
    int nGetRecordIndice(const CNARecordValue* pclRow);
    int nGetPosition(long long llCurrent, eNA_PARSEDIRECTION eDirection, long long llCount) const;
    int bRecordInCache(unsigned int i) const;
    int bEndehors(int i) const { return i < 0 || i >= nGetCount(); }
    int bMustFetch(int i) const;
    eNA_RECORDSTATE eGetRecordState(int i) const;
    int _bRecordDeleted(int i) const { return eGetRecordState(i) == NA_RECORDSTATE_DELETED; }
    void SetRecordState(int i, eNA_RECORDSTATE e);
    int nSetRecordState(const CNARecordId* pclId, eNA_RECORDSTATE e);
    // The state of the record value's row (nGetRecordIndice); that row, or -1.
    int nSetRecordState(const CNARecordValue* pclRow, eNA_RECORDSTATE e);
    void SetFetchComplete();
    int bMemoInCache(int i) const;
    void RestaureMemo(int i, CNARecordMemo* pclDst) const;
    int bEquals(int i, const CNARecordValue* pclValue, int nFlags);
    int bEquals(int i, int j, int nFlags);
    // eType: 3 insert, 2 update, 4 delete (the statement kinds).
    int nOnNotifyOperation(int eType, const CNARecordValue* pclNew, const CNARecordValue* pclOld,
                           unsigned int nFlags, int bInsertFirst);

    int nGetCount() const { return m_tabState.nGetNbElement(); }
    int nGetDeletedCount() const { return m_nDeleted; }
    unsigned int nGetFlags() const { return m_eFlags; }
    void SetFlags(unsigned int n) { m_eFlags = n; }
    int eGetRecordIdType() const { return m_eRecordIdType; }
    const CNABufferTable<CNAKXRecord>& GetImageTable() const { return m_tabImage; }
    const CNABufferTable<CNARecordId>& GetIdTable() const { return m_tabId; }
    unsigned int nGetIndexCount() const { return m_clIndex.dwGetNumElement(); }
    int nGetMemoCount() const { return m_tabMemo.nGetNbElement(); }

protected:
    void _SetRecordIdType(const CNARecordValue* pclRow);
    // Room was made first (CNARecordIdIndex::bReserve).
    bool _HashAddID(const unsigned char* pbyId, int nRow);
    // Raises the rows at or above nRow, then files the identity.
    void _HashInsertID(int nRow, const unsigned char* pbyId);
    void _HashDeleteID(const unsigned char* pbyId);
    void _HashDeleteID(int nRow);
    // Memo slots; room was made first (_bReserveMemoSlots).
    CNARecordMemo* pclInsertRecordMemo(int i, CNARecordMemo* pclMemo);
    CNARecordMemo* _pclSetMemo(int i, CNARecordMemo* pclMemo);
    CNARecordMemo* _pclGetRecordMemo(int i) const;
    // Fills a row's own memo object from the row's values.
    bool _InsertMemo(CNARecordMemo* pclMemo, const CNARecordMemo* pclSource);
    // A filled copy (one reference) when the row's memo values hold a cell,
    // else null; false without memory.
    bool _bPrepareMemo(const CNARecordValue* pclRow, CNARecordMemo** ppclMemo);
    bool _bReserveMemoSlots(int nCount);
    // Read failures, by row as the memos: the array reaches no further than
    // its last failure, or a row inserted before it.
    bool _bReserveReadFailures(int nCount);
    // Row i's failure from the row value, stored in place or inserted (the
    // rows from i on move up); room was made first.
    void _StoreReadFailure(int i, const CNARecordValue* pclRow, bool bInsert);
    // Room in both entry tables and the states for nRows rows more.
    bool _bReserveRows(int nRows);
    // An identity of another kind than the cache's is neither stored nor
    // filed: the index compares one kind only.
    bool _bIdFits(const CNARecordId* pclId) const;
    // A new row at i, appended or inserted; its number, -1 without memory
    // (nothing changed).
    int _nStore(const CNARecordValue* pclRow, int i, bool bAppend);
    void _AddState(int i, unsigned int nState, bool bAppend);
    // What a store or a rewrite has had so far, to undo it when a later
    // step fails.
    struct stPENDING {
        int nFormerType;
        CTSimpleTable<CNAKXRecord>::stMARK stImageMark;
        CTSimpleTable<CNARecordId>::stMARK stIdMark;
        CTSimpleTable<CNAKXRecord>::stENTRY stImage;
        CTSimpleTable<CNARecordId>::stENTRY stId;
        CNARecordMemo* pclMemo; // one reference, or null
    };
    // Marks the tables and takes the row's identity type when there is none.
    stPENDING _stBegin(const CNARecordValue* pclRow);
    void _Abandon(const stPENDING& st);
    // Drops the placeholders added from row nCount on.
    void _Truncate(int nCount);
    // The identity serialised into the lookup buffer; null without memory.
    unsigned char* _pbyLookup(const CNARecordId* pclId);
    // The row of an identity equal to this one that bAccept takes; -1.
    template <class F>
    int _nFindRow(const CNARecordId* pclId, F bAccept);

    unsigned int m_eFlags;
    CNABufferTable<CNAKXRecord> m_tabImage;
    CRefArray<CNARecordMemo> m_tabMemo;
    CTTableau<unsigned int> m_tabState; // eNA_RECORDSTATE
    CRefArray<CXError> m_tabReadFailure;
    int m_nDeleted;
    int m_eRecordIdType;
    CNABufferTable<CNARecordId> m_tabId;
    CNARecordIdIndex m_clIndex;
    unsigned char* m_pbyLookup;
    unsigned int m_nLookupSize;
    CNARecordValue* m_pclPrototype;
};

class CNARecordCachePosition : public CNARecordCache {
public:
    CNARecordCachePosition();

    void SetGrowStep(int nStep, int nMax) override;
    int nAjoute(const CNARecordValue*) override { return -1; }
    void Supprime(unsigned int) override {}
    void SupprimeTout() override;
    int _nAjoute(const CNARecordValue* pclRow) override;
    int _Insere(const CNARecordValue*, unsigned int) override { return -1; }

    // The slot of the row (no reference taken); -1 without memory.
    int nKeepRecordSave(const CNARecordValue* pclRow);
    void AddRefRecordSave(int i);
    // The count left; at 0 the slot leaves the identity index.
    int nReleaseRecordSave(int i);
    int nGetRecordSaveRef(int i) const { return i >= 0 && i < m_tabRef.nGetNbElement() ? m_tabRef[i] : 0; }

protected:
    void _GetRef(int i) { AddRefRecordSave(i); }
    int _nReleaseRef(int i) { return nReleaseRecordSave(i); }
    int _nGetFirstFreePos();

    CTTableau<int> m_tabRef;
    int m_nFirstFree;
};

static_assert(sizeof(void*) != 4 || sizeof(CTSimpleTable<CNAKXRecord>::stENTRY) == 8, "offset and block");
static_assert(sizeof(void*) != 4 || sizeof(CTSimpleTable<CNAKXRecord>::stBUFFERINFO) == 12, "bytes, used, capacity");
