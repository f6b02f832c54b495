// One record image: a record buffer, the memo values that live beside it and
// the record identity.
#pragma once

#include "access/driver/Interf.h"
#include "common/platform/XError.h"

#include <string>
#include <utility>
#include <vector>

class CAny;
class CNAConvertVariant;
class CNAError;
class CNAKXRecord;
class CNARecordId;
class CNARecordMemo;
class INAItemDescription;

// The failure a read reports on a record whose server values its items
// could not take (those items hold NULL): the first refused item's own
// failure, its message followed by those of the others, with each refused
// item's failure and the server's text of its value, in the order of the
// items. The text stands for the value wherever
// the row is told from other rows: a value that could not be read is no
// NULL. It also lists the values its items hold less exactly than the
// server (a rounded FLOAT, a time cut to the millisecond, a text the code
// page turned into "?", a TIMESTAMP's local time that stands for two
// instants): those read, and their texts only find the row again; and,
// for a row read under a search, the server's answer whether its value is
// the one searched. A list of such values alone is no
// failure. Shared, never changed.
class CNAReadFailure : public CXError {
public:
    struct SRefusal {
        std::wstring strItem;
        std::wstring strText; // empty when the server's text could not be had
        CXError* pclFailure;  // the item's own failure: one reference held by each failure listing it; null when
                              // held, but for a text too long to write, which fails any comparison of the value
        bool bHeld;           // the item holds the value, less exactly: the text only finds the row
    };
    typedef std::vector<SRefusal> Refusals;

    ~CNAReadFailure() override;
    // A new failure (count 0) of the refusals, the first refused one's
    // failure its own (none when every value is held); null without memory
    // or without a failure for a refused value.
    static CNAReadFailure* s_pclMake(Refusals tab, int nFound = -1);
    // The refusals of a record's failure: null for none or another failure.
    static const Refusals* s_ptabRefusals(const CXError* pclFailure);
    // Whether a read of the record fails: another failure, or a refused
    // value among the held ones.
    static bool s_bReadFails(const CXError* pclFailure);
    // The server's answer for the row under the search it was read for: 1
    // or 0; -1 when it has none.
    static int s_nFound(const CXError* pclFailure);
    // The same items refused with the same texts; a failure without
    // refusals is the same as none.
    static bool s_bSameRefusals(const CXError* pclFailure1, const CXError* pclFailure2);
    // The item's refusal in a record's failure; null when it read.
    static const SRefusal* s_pstRefusal(const CXError* pclFailure, const wchar_t* pszItem);
    // *ppclHeld becomes the failure, one reference held, the one it held
    // released: a failure is shared and never changed once made.
    static void s_Hold(CXError** ppclHeld, const CXError* pclFailure);

private:
    explicit CNAReadFailure(const CXError& clFirst);
    explicit CNAReadFailure(const _stMyModuleInfo* pModule);
    Refusals m_tab;
    int m_nFound;
};

class CNARecordValue : public CInterf {
public:
    // What a copy or a clone takes; the state and the read failure always
    // go with it.
    enum eCOPYFLAGS : int {
        COPY_KXRECORD = 1,
        COPY_MEMO = 2,
        COPY_RECORDID = 4,
        COPY_ALL = -1,
    };
    enum : unsigned int { STATE_DELETED = 128 };

    // Without an error object the value takes a new one from the driver.
    // The buffer is given (one reference taken) or null.
    explicit CNARecordValue(CNAError* pclError, CNAKXRecord* pclBuffer = nullptr);
    ~CNARecordValue() override;

    // A new value (count 0) on the same error with the parts the flags name;
    // null, with a no-memory error, when it cannot be made.
    CNARecordValue* pclGetClone(int nFlags) const;
    // The state, then the buffer, memos and identity the flags name,
    // stopping at the first failure.
    bool bCopyRecordValue(const CNARecordValue* pclSource, int nFlags);
    // Without an own buffer a clone of the given one, else its bytes.
    bool bCopyNAKXRecord(const CNAKXRecord* pclBuffer);
    bool bCopyTabMemoValue(const CNARecordMemo* pclMemo);
    // Into the own identity, or a clone of the given one made for this value.
    bool bCopyRecordID(const CNARecordId* pclId);
    // Drop the own part and share the given one.
    bool bShareRecordID(CNARecordId* pclId);
    bool bShareTabMemoValue(CNARecordMemo* pclMemo);
    // Entry i of the memos becomes the cell (one reference), or a clone of
    // it; the memo array is made when needed.
    bool bShareMemoValue(int i, CNAConvertVariant* pclCell);
    bool bCopyMemoValue(int i, const CNAConvertVariant* pclCell);

    // The item's element 0, or NULL when its defined bit is clear.
    bool bGetItemValue(CAny* pclValue, const INAItemDescription* piItem) const;
    // The memo cell's value, or NULL without such a cell.
    bool bGetMemoValue(CAny* pclValue, int i) const;
    // With a reference added.
    CNAConvertVariant* pclGetMemoValue(int i) const;
    CNAConvertVariant* pclGetMemoValueNoRef(int i) const;
    // Buffers and refused values equal and, when asked, memos equal.
    bool bEquals(const CNARecordValue* pclOther, int bWithMemos) const;

    CNAKXRecord* pclGetNAKXRecord() const { return m_pclKXRecord; }
    CNARecordMemo* pclGetTabMemoNoRef() const { return m_pclMemo; }
    CNARecordId* pclGetRecordIdNoRef() const { return m_pclRecordId; }
    CNAError* pclGetErrorNoRef() const { return m_pclError; }
    unsigned int nGetState() const { return m_nState; }
    void SetState(unsigned int n) { m_nState = n; }
    // What a read of this record reports: a server value that an item
    // cannot take (that item holds NULL). Shared, never changed; null when
    // the record reads.
    const CXError* pclGetReadFailureNoRef() const { return m_pclReadFailure; }
    void SetReadFailure(CXError* pclFailure);
    // The item's value refused with the server's text and the item's own
    // failure: the read failure lists it after the others (the first names
    // it). False without memory, nothing changed.
    bool bAddRefusal(const wchar_t* pszItem, const wchar_t* pszText, CXError* pclFailure);
    // Items that hold their values less exactly than the server, each with
    // the server's text of its value (empty when it could not be read),
    // which finds the row, and, where that text passes the session's bound,
    // the failure of any condition comparing the value (one reference taken
    // by the record's failure; null otherwise). False without memory,
    // nothing changed.
    struct SHeldText {
        SHeldText(std::wstring strItemIn, std::wstring strTextIn, CXError* pclFailureIn = nullptr)
            : strItem(std::move(strItemIn)), strText(std::move(strTextIn)), pclFailure(pclFailureIn)
        {
        }
        std::wstring strItem;
        std::wstring strText;
        CXError* pclFailure;
    };
    typedef std::vector<SHeldText> HeldTexts;
    // With the server's answer whether the row holds the value searched,
    // when it has one (-1: none).
    bool bAddHeldTexts(HeldTexts tab, int nFound);
    int nGetServerFound() const { return CNAReadFailure::s_nFound(m_pclReadFailure); }
    // The item holds the host's value from now on: its refusal leaves the
    // read failure, which goes with the last one. False without memory,
    // nothing changed.
    bool bDropRefusal(const wchar_t* pszItem);
    // The item's refusal or held text (the server's text, empty when it
    // could not be had, and the item's failure); null when the item's value
    // was read whole.
    const CNAReadFailure::SRefusal* pstGetRefusal(const wchar_t* pszItem) const;

protected:
    // The memo array, made when missing; null with a no-memory error.
    CNARecordMemo* _pclGetOrMakeMemo();
    // A record-values identity follows its value's buffer and memos.
    void _RepointRecordId();
    // The read failure of the refusals and the search's answer as fnChange
    // leaves them (none: no failure); false without memory, nothing
    // changed.
    template <class F>
    bool _bChangeRefusals(F fnChange);
    bool _bNoMemory() const;

    CNAError* m_pclError;         // one reference
    CNAKXRecord* m_pclKXRecord;   // one reference
    CNARecordMemo* m_pclMemo;     // one reference, null without memo value
    CNARecordId* m_pclRecordId;   // one reference, or null
    unsigned int m_nState;        // 128: deleted
    CXError* m_pclReadFailure;    // one reference, or null
};
