// The value cell: one value of a fixed host type on its way between the host
// and the server, and where its bytes live (its own host value, the host
// engine's record buffer, an adopted pointer, a buffer of its own), with an
// optional separate buffer for the server side.
//
// Record-buffer forms: fixed-size values as their bytes (1-byte boolean),
// 8-bit texts NUL-terminated, wide texts as 32-bit characters, except that a
// buffer bound to a wide-text item of the engine (NA_IT_UNICODE,
// NA_IT_MEMOUNICODE) holds terminated UTF-16 units; NA_IT_DATE8 as the 8-bit
// "YYYYMMDD", NA_IT_HEURE as 8-bit digits "HHMMSS" then milliseconds as the
// size allows, NA_IT_BINAIRE as a 16-bit length then the bytes. Every access
// to a buffer stays within its size.
#pragma once

#include "common/values/NAVariant.h"

#include <string>

class CDateTime;
class CNAColumn;
class CNAError;
class CNAKXRecord;
class CTQBIN;
class INAItemDescription;
struct _SYSTEMTIME;

// Where the value bytes of a cell live.
enum eNAVARTYPE : int {
    NA_VAR_RESET = 0,     // no value
    NA_VAR_ANY = 1,       // the cell's own host value
    NA_VAR_UNREADYET = 2, // a lazily read value not fetched yet
    NA_VAR_BUFFER = 3,    // a buffer of the owner, fixed size
    NA_VAR_POINTER = 4,   // adopted pointer: nothing copied, nothing freed
    NA_VAR_OWNBUFFER = 5, // zero-filled buffer allocated and freed by the cell
};

class CNAConvertVariant : public CNAVariant {
public:
    // States of the server-side buffer.
    enum : int {
        DBBUFFER_NONE = 0,  // not set up
        DBBUFFER_INPLACE = 1, // the server reads and writes the value where it is
        DBBUFFER_OWN = 2,   // separate buffer
    };

    // One reference on the error object, none on the connection.
    CNAConvertVariant(CNAError* pclError, CNAConnectionDescription* pclConnection);

    // ---- Virtual operations, in slot order ------------------------------------
    ~CNAConvertVariant() override;
    int vbChangeTQType(unsigned short nType, int bNoPad) override;
    int vbGetValue(CAny* pclDest) const override;
    int vbIsEmpty() const override;
    void* vpGetData() const override;
    unsigned int vnGetSize() const override;
    CNAConnectionDescription* pclGetCnx() override;
    // Server back ends redefine these; the cell itself converts nothing.
    virtual int _bConvertDataToKX();
    virtual int _bConvertDataToDB();
    virtual int _bInitBufferDB_Ptr();
    virtual int _bInitBufferDB_Any();
    virtual int _bInitTypeBind();

    // ---- Set-up ------------------------------------------------------------------
    int bInitTypeVariant(eNAVARTYPE eType, unsigned char* pBuffer, unsigned int nSize, unsigned short nType);
    int bInitTypeVariantBuffer(unsigned short nType, unsigned int nSize);
    void InitTypeVariantAny(unsigned short nType, unsigned int nSize);
    void ResetVariant();
    void SetItemDesc(INAItemDescription* piHost, INAItemDescription* piDatabase);
    // NULL keeps the host type; a caller's or own buffer is zeroed.
    void SetNull();

    // ---- Reading -----------------------------------------------------------------
    // The held value from a file; a not-read cell then holds its own value.
    int bLoadFile(const wchar_t* pszPath, CNAError* pclError, int bBinary);
    eNAVARTYPE eGetVarType() const { return m_eVarType; }
    void* pGetData() const;
    unsigned int nGetSize() const;
    unsigned int nGetUtilDataSize() const;
    using CNAVariant::bGetValue;
    int bGetValue(CAny* pclDest) const;
    // Names for error reports; null without items.
    const wchar_t* pszGetTableName() const;
    const wchar_t* pszGetItemName() const;
    eNA_ITEMTYPE eNAGetItemTypeAnalyse() const;
    eNA_ITEMTYPE eNAGetItemTypeDatabase() const;
    eNA_ITEMTYPE eNAGetItemType() const;
    eNA_ITEMTYPE eNAGetItemTypeDatabaseEx() const;
    unsigned int eGetTQTypeDB() const;
    eNA_ITEMTYPE eNAGetDBType() const;
    int bIsMemoBinaire() const;
    int bIsMemo() const;
    int bUnicodeDB() const;
    int bGetDecimalInfo(int* pnDigits, int* pnDecimals) const;
    static int s_bTextToBool(const char* psz);
    static int s_bTextToBool(const wchar_t* psz);

    // Emptiness of texts, on the cell's own bytes.
    int bIsEmptyString() const;
    int bIsEmptyStringEx() const;
    int bCouldBeNullOnKX() const;

    // ---- Database buffer -----------------------------------------------------------
    int bInitBufferDB();
    int nGetTypeBind();
    int bGetBufferDB(unsigned char** ppData, unsigned int* pnSize, unsigned int** ppnLength);
    int bConvertDataToDB();
    int bConvertDataToKX(CNAKXRecord* pclRecord);
    int _bAllocBufferDB(unsigned int nSize);
    void _ReleaseValDB();

    // ---- Copies and comparisons ------------------------------------------------------
    int bCopyVariant(const CNAConvertVariant* pclSource);
    // A new cell on this cell's error object and connection; null when none.
    CNAConvertVariant* pclGetCloneVariant() const;
    using CNAVariant::nCmp;
    int nCmp(const CNAConvertVariant* pclOther) const;
    using CNAVariant::bEqualsNAVariant;
    int bEqualsNAVariant(const CNAConvertVariant* pclOther) const;
    // Pads a text with spaces up to nLength characters (-1: the room).
    void CompleteSpaces(int nLength);

    // ---- Storing host values ------------------------------------------------------------
    int bSetValue(const CAny* pclValue);
    int bSetValue(bool b);
    int bSetValue(unsigned char n);
    int bSetValue(unsigned short n);
    int bSetValue(unsigned int n);
    int bSetValue(unsigned long long n);
    int bSetValue(char n);
    int bSetValue(short n);
    int bSetValue(int n);
    int bSetValue(long long n);
    int bSetValue(const CMoney& m);
    int bSetValue(float f);
    int bSetValue(double d);
    int bSetValue(CDateTime* pclDateTime);
    int bSetValue(const unsigned char* p, unsigned int n);
    int bSetValue(CTQBIN* pclBinary);
    int bSetValue(const wchar_t* pszText, unsigned int nLength);
    int bSetValue(const char* pszText, unsigned int nLength);
    int _bSetValue(const char* pszText, unsigned int nLength, unsigned int nCodePage);
    int bSetValue(_SYSTEMTIME* pstTime);
    void _SetErrorConversionFailed(int nSourceType, const wchar_t* pszValue, int nFile, int nPoint);
    // Bytes that are no text of the code page: the conversion's failure, 0.
    int _bRefuseText(const char* pszText, unsigned int nLength, unsigned int nCodePage);

    // ---- Storing server values ------------------------------------------------------------
    int bSetValueDB(const wchar_t* pszText, unsigned int nLength);
    int bSetValueFromDB(const wchar_t* pszText, unsigned int nLength);
    int bSetValueDB(const char* pszText, unsigned int nLength, unsigned int nCodePage);
    int bSetValueDB(const unsigned char* p, unsigned int n);
    int bSetValueDB(const CAny* pclValue);
    int _bSetValueDB_AndConvertToDate(const char* pszText, unsigned int nLength, unsigned int nCodePage);
    int _bSetValueDB_HHMM(const char* pszText, unsigned int nLength);
    int _bSetValueDB_HH_MM(const char* pszText, unsigned int nLength);
    int _bSetValueDB_HHMMSS(const char* pszText, unsigned int nLength);
    int _bSetValueDB_AAAAMMJJ(const char* pszText, unsigned int nLength);
    int _bSetValueDB_AAAA_MM_JJ(const char* pszText, unsigned int nLength);
    int _bSetValueDB_HH_MM_SS_MMM(const char* pszText, unsigned int nLength);
    int _bSetValueDB_AAAAMMDDHHMMSS(const char* pszText, unsigned int nLength);
    int _bSetValueDB_AAAAMMDD_HH_MM_SS(const char* pszText, unsigned int nLength);
    int _bSetValueDB_AAAA_MM_DD_HH_MM_SS(const char* pszText, unsigned int nLength);
    int _bSetValueDB_AAAA_MM_DD_HH_MM_SS_CC(const char* pszText, unsigned int nLength);

    // ---- Date-time as text ------------------------------------------------------------------
    int _bSetValueDateToString(const CAny* pclValue);

protected:
    friend class CNAColumn;

    // Reset to a kind: owned buffers freed, items released, value emptied.
    void _SetVarType(eNAVARTYPE eType);
    // An empty text of the type in an any-type cell with nothing attached.
    bool _bIsBareText(unsigned short nType) const;
    // Store mark: kind 2 becomes 1, changed mark cleared, NULL optionally.
    void _OnSetValue(int bClearNull);
    // Own buffer of nSize zeroed bytes; out of memory on the error object.
    int _bAllocBuffer(unsigned int nSize);
    void _SetErrorNoMemory();

    // A number's text cast by the host's converter into the cell (12.4 when
    // it refuses); and a number's stored bytes into the cell.
    int _bSetValueDB_Number(const wchar_t* pszText, unsigned char nType);
    int _bStoreNumber(const unsigned char* pbyValue, unsigned char nType);

    // Whether the buffer holds UTF-16 units: a caller's or own buffer bound
    // to a wide-text item of the engine.
    int _bBufferIsUTF16() const;
    // The buffer's text as wide characters, up to its terminator or its size.
    std::wstring _sGetBufferTextW() const;
    // Bytes of the buffer's 8-bit text before its terminator or its size.
    unsigned int _nGetBufferTextLength8() const;
    // The cell's text (own value or buffer), bounded.
    std::string _sGetText8() const;
    std::wstring _sGetTextW() const;

    CNAConnectionDescription* m_pclConnection; // no reference
    INAItemDescription* m_piItemDB;            // one external reference
    INAItemDescription* m_piItem;              // host side; one external reference
    eNAVARTYPE m_eVarType;
    unsigned char* m_pbyBuffer;
    unsigned int m_nLength; // bytes used in the buffer
    unsigned int m_nSize;   // capacity of the buffer, terminator included
    unsigned char* m_pbyBufferDB;
    unsigned int m_nSizeBufferDB;
    int m_bChanged;         // cleared by every store
    unsigned int m_nLengthDB; // length indicator handed to the server layer
    int m_nTypeBind;
    int m_nStateBufferDB;   // DBBUFFER_*
    const wchar_t* m_pszDateFormat; // not owned; null unless set by the owner
    CNAError* m_pclError;   // one reference
};
