// Description of one item (column) or key of a table or query, and the
// interface through which the host reads it. The order of the interface's
// operations is the contract with the host.
#pragma once

#include "access/driver/INAVersion.h"
#include "common/text/Tableau.h"
#include "common/text/Tstring.h"
#include "common/values/Any.h"
#include "common/values/ItemType.h"

class CNAConnectionDescription;
class CNADataSourceDescription;
class INAContext;
class INADataSourceDescription;
class IInfoRubrique;

// The item description as the host reads it (55 operations).
class INAItemDescription : public INAVersion {
public:
    virtual void ExternalAddRef() = 0;
    virtual unsigned int nExternalRelease() = 0;
    virtual const wchar_t* pszGetName() const = 0;
    virtual unsigned int nGetDimension() const = 0;
    virtual unsigned int nGetItemSize() const = 0;
    // element -1: all elements.
    virtual int nGetLogicalSize(int nElement) const = 0;
    virtual unsigned int nGetTotalSize() const = 0;
    virtual eNA_ITEMTYPE eNAGetItemType() const = 0;
    virtual int nGetPhysicalIndice() const = 0;
    virtual int bIsKey() const = 0;
    virtual int bMemo() const = 0;
    virtual int bMemoText() const = 0;
    virtual int bMemoBinary() const = 0;
    virtual int bNumerical() const = 0;
    virtual int bLiteral() const = 0;
    virtual int nGetKeyIndice() const = 0;
    virtual int nGetNumComponents() const = 0;
    virtual int bPrimary() const = 0;
    virtual int bUnique() const = 0;
    virtual int bDuplicates() const = 0;
    virtual int bIsComposedKey() const = 0;
    virtual int bGetAscendant(int nIndex) const = 0;
    virtual int bGetDescendant(int nIndex) const = 0;
    virtual int bGetIgnoreCase(int nIndex) const = 0;
    virtual int bGetIgnorePunctuation(int nIndex) const = 0;
    virtual int bGetIgnoreAccent(int nIndex) const = 0;
    // Component i, from 1, with an external reference for the caller.
    virtual INAItemDescription* piGetItemComponent(int nIndex) = 0;
    virtual int nGetOffset(int nIndex) const = 0;
    virtual int nGetSubItemRecordIndice(int nIndex) const = 0;
    virtual CAny* pclGetDefaultValue(int nIndex) = 0;
    virtual const wchar_t* pszGetExtendedInfo() const = 0;
    virtual const wchar_t* pszGetCaption() const = 0;
    virtual const wchar_t* pszGetDBType() const = 0;
    virtual const wchar_t* pszGetXBaseIndexPath() const = 0;
    virtual const wchar_t* pszGetXBaseKeyExpression() const = 0;
    virtual int nGetIntegerPart() const = 0;
    virtual int nGetDecimalPart() const = 0;
    virtual const wchar_t* pszGetNameInSource() const = 0;
    virtual const wchar_t* pszGetSourceName() const = 0;
    virtual unsigned int nGetKeySize() const = 0;
    virtual void SetKeySize(unsigned int nSize) = 0;
    virtual unsigned int nGetComponentKeySize(int nIndex) const = 0;
    virtual void SetComponentKeySize(unsigned int nSize, int nIndex) = 0;
    virtual int bUpdatable() const = 0;
    virtual void SetUpdatable(int bUpdatable) = 0;
    virtual INAItemDescription* piGetPrimaryLink(INAContext* piContext, INADataSourceDescription** ppiTable) = 0;
    virtual INAItemDescription* piGetForeignLink(unsigned int nIndex, INAContext* piContext,
                                                 INADataSourceDescription** ppiTable) = 0;
    virtual int nGetNumForeignLink() const = 0;
    virtual const wchar_t* pszGetUnicodeLocale() const = 0;
    virtual int vbConstraintNullAllowed() const = 0;

protected:
    ~INAItemDescription() = default;
};

class CNAItemDescription : public INAItemDescription {
public:
    // Key flags.
    enum : unsigned short {
        KF_IGNOREACCENT = 0x0020,
        KF_IGNOREPUNCTUATION = 0x0040,
        KF_IGNORECASE = 0x0080,
        KF_DESCENDING = 0x0400,
        KF_ASCENDING = 0x0800,
        KF_COMPOSITE = 0x1000,
        KF_DUPLICATES = 0x2000,
        KF_UNIQUE = 0x4000,
        KF_PRIMARY = 0x8000,
    };
    // Options.
    enum : unsigned int {
        OPT_AUTOINCREMENT = 0x1,
        OPT_NULLREFUSED = 0x2,
        OPT_NOTUPDATABLE = 0x4,
        OPT_SPACEPADDING = 0x8,
        OPT_VARIABLESCALE = 0x10,
        OPT_DEFAULTEXPRESSION = 0x20,
        OPT_SERVERBYTES = 0x40,
    };

    // Options of pclGetCloneItemDescription.
    enum eCLONEDESC : int {
        CLONE_EVERY_ITEM_A_KEY = 0x1,
        CLONE_DATES_AS_TEXT = 0x2,
    };
    // Sort direction of SetSensTri: 0 ascending, any other descending.
    typedef int eSENSTRI;

    CNAItemDescription();
    CNAItemDescription(const CNAItemDescription&) = delete;
    CNAItemDescription& operator=(const CNAItemDescription&) = delete;

    // ---- INAItemDescription, in slot order ----------------------------------
    int nGetVersion() const override;
    int nGetCompatSince() const override;
    int nGetNAVersion() const override;
    int nGetNACompatSince() const override;
    void NAVersion_EmptySlot_3() override;
    void ExternalAddRef() override;
    // The release that leaves both counts at 0 destroys the object.
    unsigned int nExternalRelease() override;
    const wchar_t* pszGetName() const override;
    unsigned int nGetDimension() const override;
    unsigned int nGetItemSize() const override;
    int nGetLogicalSize(int nElement) const override;
    unsigned int nGetTotalSize() const override;
    eNA_ITEMTYPE eNAGetItemType() const override;
    int nGetPhysicalIndice() const override;
    int bIsKey() const override;
    int bMemo() const override;
    int bMemoText() const override;
    int bMemoBinary() const override;
    int bNumerical() const override;
    int bLiteral() const override;
    int nGetKeyIndice() const override;
    int nGetNumComponents() const override;
    int bPrimary() const override;
    int bUnique() const override;
    int bDuplicates() const override;
    int bIsComposedKey() const override;
    int bGetAscendant(int nIndex) const override;
    int bGetDescendant(int nIndex) const override;
    int bGetIgnoreCase(int nIndex) const override;
    int bGetIgnorePunctuation(int nIndex) const override;
    int bGetIgnoreAccent(int nIndex) const override;
    INAItemDescription* piGetItemComponent(int nIndex) override;
    int nGetOffset(int nIndex) const override;
    int nGetSubItemRecordIndice(int nIndex) const override;
    CAny* pclGetDefaultValue(int nIndex) override;
    const wchar_t* pszGetExtendedInfo() const override;
    const wchar_t* pszGetCaption() const override;
    const wchar_t* pszGetDBType() const override;
    const wchar_t* pszGetXBaseIndexPath() const override;
    const wchar_t* pszGetXBaseKeyExpression() const override;
    int nGetIntegerPart() const override;
    int nGetDecimalPart() const override;
    const wchar_t* pszGetNameInSource() const override;
    const wchar_t* pszGetSourceName() const override;
    unsigned int nGetKeySize() const override;
    void SetKeySize(unsigned int nSize) override;
    unsigned int nGetComponentKeySize(int nIndex) const override;
    void SetComponentKeySize(unsigned int nSize, int nIndex) override;
    int bUpdatable() const override;
    void SetUpdatable(int bUpdatable) override;
    INAItemDescription* piGetPrimaryLink(INAContext* piContext, INADataSourceDescription** ppiTable) override;
    INAItemDescription* piGetForeignLink(unsigned int nIndex, INAContext* piContext,
                                         INADataSourceDescription** ppiTable) override;
    int nGetNumForeignLink() const override;
    const wchar_t* pszGetUnicodeLocale() const override;
    int vbConstraintNullAllowed() const override;

    // ---- Own virtual operations -----------------------------------------------
    virtual ~CNAItemDescription();
    virtual void SetIntegerPart(int n) { m_nIntegerPart = n; }
    virtual void SetDecimalPart(int n) { m_nDecimalPart = n; }
    // A copy belonging to another table or query description (made by the
    // driver's factory); null when none can be made.
    virtual CNAItemDescription* pclGetCloneItemDescription(CNADataSourceDescription* pclTarget, eCLONEDESC eOptions);

    // ---- Internal references (the driver's own holders) -------------------------
    void AddRef() { m_nRef++; }
    // The release that leaves both counts at 0 destroys the object.
    unsigned int nRelease();
    unsigned int nGetRef() const { return m_nRef; }
    unsigned int nGetExternalRef() const { return m_nExternalRef; }

    // ---- Filling ------------------------------------------------------------------
    int bInit(const wchar_t* pszName, const wchar_t* pszSourceName, const wchar_t* pszNameInSource,
              unsigned int nDimension, unsigned int nItemSize, eNA_ITEMTYPE eType, int nPhysicalIndice,
              int nKeyIndice, unsigned short nKeyFlags, int nIntegerPart, int nDecimalPart);
    int bSetName(const wchar_t* pszName);
    int bSetKey(int nKeyIndice, unsigned short nKeyFlags);
    int bSetKeyIndice(int nKeyIndice);
    void SetPhysicalIndice(int nIndice) { m_nPhysicalIndice = nIndice; }
    // Where the item stands in a record of its table description.
    void SetRecordPlace(int nOffset, int nSubItemIndice);
    // The server's type name and code.
    void SetDBType(const wchar_t* pszName, int nCode);
    void SetSensTri(eSENSTRI eDirection);
    void SetIgnoreCase(int bIgnore);
    void SetNullable(int bNullable);
    void SetNotUpdatable() { SetUpdatable(0); }
    // Option 0x1; integers of 8 and 4 bytes become automatic identifiers.
    void SetAutoIncrement();
    void SetSpacePadding() { m_nOptions |= OPT_SPACEPADDING; }
    void SetVariableScale() { m_nOptions |= OPT_VARIABLESCALE; }
    // The server works the column's default out itself (uuid(), the time):
    // the item has no default value, and an add leaves it to the server.
    void SetDefaultExpression() { m_nOptions |= OPT_DEFAULTEXPRESSION; }
    // The server sends the value as bytes (a string of the binary character
    // set), whatever text type the result's map gave it.
    void SetServerBytes() { m_nOptions |= OPT_SERVERBYTES; }
    // The column's declared length in characters (0: none).
    void SetCharacterLength(unsigned int n) { m_nCharacterLength = n; }
    // The server's character set number of a query's result column (0: none).
    void SetCharsetNumber(unsigned int n) { m_nCharsetNumber = n; }
    // A table's text column's character set, as its collation names it.
    void SetColumnCharset(const wchar_t* pszCollation);
    // Copies the value and casts it to the item's host type; the cast's status.
    int SetDefaultValue(const CAny* pclValue, int bReserved = 0);
    // Appends a component with a reference; a composite key grows by its
    // size. A component of its own descending order sorts so within the key.
    int bAddComponent(CNAItemDescription* pclItem, int bDescending = 0);
    // Sizes, type and DB type text of the other item; unless bKeepAutoId, an
    // automatic identifier becomes the plain integer of its width.
    int bChangeType(INAItemDescription* piOther, int bKeepAutoId);
    int bChangeType(CNAItemDescription* pclOther, int bKeepAutoId);
    int bChangeTypeMemo(eNA_ITEMTYPE eType);
    // A text becomes the binary item a binary column of its bytes has: a
    // memo the binary memo, a text the binary of its length.
    void ChangeTextToBytes();
    int bCompleteDescription(INAItemDescription* piOther, int bUnique, unsigned int nKeyIndice);
    // An output item of a query computed by an expression: its type from
    // the host's engine type.
    int bCompleteDescriptionCalcul(IInfoRubrique* piHostItem);
    void SetSourceName(const wchar_t* pszName) { m_csSourceName = pszName; }

    // ---- Reading ------------------------------------------------------------------
    int bNullable() const { return (m_nOptions & OPT_NULLREFUSED) == 0; }
    int bAutoIncrement() const { return (m_nOptions & OPT_AUTOINCREMENT) != 0; }
    int bSpacePadding() const { return (m_nOptions & OPT_SPACEPADDING) != 0; }
    int bGetVariableScale() const { return (m_nOptions & OPT_VARIABLESCALE) != 0; }
    int bDefaultExpression() const { return (m_nOptions & OPT_DEFAULTEXPRESSION) != 0; }
    int bServerBytes() const { return (m_nOptions & OPT_SERVERBYTES) != 0; }
    // The most characters the column holds; 0: only the item size bounds a
    // value. A wide item may hold more units than that (two a character
    // beyond U+FFFF).
    unsigned int nGetCharacterLength() const { return m_nCharacterLength; }
    unsigned int nGetCharsetNumber() const { return m_nCharsetNumber; }
    // That set's name; empty where not known (a query's column).
    const wchar_t* pszGetColumnCharset() const { return m_csColumnCharset.pszGet(); }
    // Whether that set may hold bytes no character stands for, which the
    // server converts to "?" as it does a real one, or several byte forms
    // of one character: not latin1, binary or a Unicode set.
    bool bBytesBeyondCharacters() const { return m_bBytesBeyondCharacters; }
    // Whether the column's set has several byte forms of the character c
    // (of any character: bAnyTwinForms), which the server reads as one
    // text: only a text's own bytes tell such rows apart.
    bool bTwinForms(wchar_t c) const;
    bool bAnyTwinForms() const { return m_pszTwinCharacters != nullptr; }
    // The characters of several byte forms in the set named, in order; null
    // for a set whose every character has one form.
    static const char16_t* s_pszTwinCharacters(const wchar_t* pszCharset);
    unsigned short nGetKeyFlags() const { return m_nKeyFlags; }
    unsigned int nGetOptions() const { return m_nOptions; }
    // The server's code of the column type, 0: none.
    int nGetDBType() const { return m_nDBType; }
    // The host value type of the item.
    unsigned int eGetItemTQType() const;
    // Whether values of the other item fit this one; bAnsi compares wide
    // texts as 8-bit ones, bLoose loosens the date and time rules.
    int bTypeMatch(const INAItemDescription* piOther, int bAnsi, int bLoose) const;
    // Whether the item is one of the key's components.
    static int bIsComponentOf(INAItemDescription* piKey, INAItemDescription* piItem);

    // The item's type on the server side: 0 when it has no server type
    // number or the connection's database does not know that number.
    eNA_ITEMTYPE eNAGetDBType(CNAConnectionDescription* pConnection) const;

    // ---- Type rules -----------------------------------------------------------------
    // Precision and scale implied by a host numeric type; 0 for the others.
    static int s_bGetDecimalInfo(unsigned short nType, int* pnDigits, int* pnDecimals);
    // The item type that holds numbers of that many integer and decimal digits.
    static void s_GetTypeFromFormat(int nIntegerPart, int nDecimalPart, eNA_ITEMTYPE* peType, unsigned int* pnSize);
    // The smallest signed integer item type that holds every unsigned
    // number of that many bits, the unsigned 8-byte one for 64 bits (any
    // count outside 1 to 64 takes 64).
    static void s_GetTypeFromBits(int nBits, eNA_ITEMTYPE* peType, unsigned int* pnSize);
    // Size of a value in the host engine's record.
    static unsigned int s_nGetKXSize(eNA_ITEMTYPE eType, unsigned int nSize, int nDigits);
    // Wide texts as 8-bit texts (half the size), wide memos as text memos.
    static void s_Type2Ansi(eNA_ITEMTYPE* peType, unsigned int* pnSize);
    static int g_bIsMemo(eNA_ITEMTYPE eType);
    static int g_bIsMemoText(eNA_ITEMTYPE eType);
    static int g_bIsMemoBinary(eNA_ITEMTYPE eType);

protected:
    // The default value retyped as the item's host type; a value that does
    // not cast becomes the empty value of that type.
    void _RetypeDefaultValue();
    void _RetypeDefaultValue(unsigned short nType);
    void _ReleaseComponents();

protected:
    CTString m_csName;
    CTString m_csSourceName;
    CTString m_csNameInSource;
    CTString m_csDBType;
    CTString m_csExtendedInfo;
    CTString m_csCaption;
    CTString m_csColumnCharset;
    int m_nDBType;             // the server's code of the column type, 0: none
    unsigned int m_nItemSize;  // bytes of one element in the engine's record
    unsigned int m_nDimension; // number of elements
    eNA_ITEMTYPE m_eItemType;
    int m_nKeyIndice;
    int m_nPhysicalIndice;
    int m_nOffsetBase;          // nGetOffset(i) = base + i * item size
    int m_nSubItemIndiceBase;   // nGetSubItemRecordIndice(i) = base + i
    unsigned short m_nKeyFlags; // KF_*
    unsigned int m_nOptions;    // OPT_*
    unsigned int m_nRef;
    unsigned int m_nExternalRef;
    int m_nIntegerPart; // digits before the decimal point
    int m_nDecimalPart; // digits after it (fraction of a second for times)
    CAny m_clDefaultValue;
    CTTableau<CNAItemDescription*> m_tabComponents; // one internal reference each
    unsigned int m_nDescendingComponents;           // bit i: component i + 1 sorted descending
    unsigned int m_nCharacterLength;                // declared characters of a text column, 0: none
    unsigned int m_nCharsetNumber;                  // a result column's character set, 0: none
    const char16_t* m_pszTwinCharacters;            // s_pszTwinCharacters of the column's set
    bool m_bBytesBeyondCharacters;                  // of the column's set, kept as it is set
};

// Reference-holding containers of item descriptions hold the host's kind
// of reference.
template <>
struct CRefTraits<CNAItemDescription> {
    static void AddRef(CNAItemDescription* p) { p->ExternalAddRef(); }
    static void Release(CNAItemDescription* p) { p->nExternalRelease(); }
};
