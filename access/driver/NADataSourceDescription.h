// The driver's description of one table or query: its names, its items
// with their keys and memos, and the layout of a record of those items.
// Handed to the host as INADataSourceDescription; filled from the server's
// catalogue (through the back end's four operations), from the result
// columns of a statement or from a query the host parsed.
#pragma once

#include "access/driver/INADataSourceDescription.h"
#include "access/driver/NAItemDescription.h"
#include "common/text/Tableau.h"
#include "common/text/Tstring.h"
#include "common/values/ItemType.h"

class CNAConnectionDescription;
class CNAError;
class CNAStatementSQL;
class CSQLParserInfo;
template <class T>
class CXYStringConcat;

class CNADataSourceDescription : public INADataSourceDescription {
public:
    enum : int {
        // Source-file number of this file in the debug line.
        ERRFILE_DESCRIPTION = 52,
    };
    // How the description was filled.
    enum : unsigned int {
        SOURCE_NONE = 0,
        SOURCE_CATALOGUE = 1,
        SOURCE_RESULT = 2,
    };
    // The option of a catalogue read that leaves the keys out.
    enum : int {
        DB_ITEMS_ONLY = 2,
    };

    // One reference on the connection and on the error object.
    CNADataSourceDescription(CNAConnectionDescription* pclConnection, CNAError* pclError);
    CNADataSourceDescription(const CNADataSourceDescription&) = delete;
    CNADataSourceDescription& operator=(const CNADataSourceDescription&) = delete;

    // ---- INADataSourceDescription, in slot order (every slot stops any
    // exception) -------------------------------------------------------------
    int nGetVersion() const override;
    int nGetCompatSince() const override;
    int nGetNAVersion() const override;
    int nGetNACompatSince() const override;
    void NAVersion_EmptySlot_3() override;
    void ExternalAddRef() override;
    // The release that leaves both counts at 0 destroys the object.
    unsigned int nExternalRelease() override;
    const wchar_t* pszGetLogicalName() const override;
    const wchar_t* pszGetPhysicalName() const override;
    const wchar_t* pszGetDefaultDirectory() const override;
    unsigned int nGetDiskRecordSize() const override;
    unsigned int nGetMemoryRecordSize() const override;
    unsigned int nGetNumItems() const override;
    unsigned int nGetNumKeys() const override;
    unsigned int nGetNumMemos() const override;
    unsigned int nGetNumItemPhysicallyInFic() const override;
    // Items, keys and memos carry an external reference for the caller; an
    // index outside the array gives null.
    INAItemDescription* piNAGetItem(const wchar_t* pszName) override;
    INAItemDescription* piNAGetItem(unsigned int nIndex) override;
    INAItemDescription* piNAGetKey(unsigned int nIndex) override;
    INAItemDescription* piNAGetMemo(unsigned int nIndex) override;
    int eGetNASubDataType() const override;
    const wchar_t* pszGetDBTableName() const override;
    INAItemDescription* piGetBestParseItemDesc() override;
    const wchar_t* pszGetExtendedInfo() const override;
    const wchar_t* pszGetType() const override;
    const wchar_t* pszGetOwner() const override;
    const wchar_t* pszGetDefaultDatabase() const override;
    const wchar_t* pszGetExtension() const override;
    const wchar_t* pszGetCaption() const override;
    int bGetNullSupported() const override;
    void EmptySlot137() override;
    void EmptySlot138() override;
    void EmptySlot139() override;
    void EmptySlot140() override;
    void EmptySlot141() override;
    void EmptySlot142() override;
    void EmptySlot143() override;
    void EmptySlot144() override;
    void EmptySlot145() override;
    void EmptySlot146() override;

    // ---- Own virtual operations, in slot order ------------------------------
    // Releases the items, keys, memos, best parse item, connection (by the
    // driver's rule for holders) and error.
    virtual ~CNADataSourceDescription();
    // pclNAGetItemNoRef with an external reference added.
    virtual CNAItemDescription* pclNAGetItem(const wchar_t* pszName, int nFlags);
    // Every item of the other description that is not a composite key has
    // an item of that name here; else user error 20 and false.
    virtual int bAreDescriptionCompatible(INADataSourceDescription* piOther);
    // The base followed by n in decimal.
    virtual void MakeNewName(CTString* pclOut, const wchar_t* pszBase, int n);
    // A copy on the same connection and error, each item cloned with the
    // options (CNAItemDescription::eCLONEDESC); null on failure. The caller
    // adds the reference it keeps.
    virtual CNADataSourceDescription* pclGetCloneDataSourceDescription(int nOptions);
    // Items, then keys unless DB_ITEMS_ONLY, from the catalogue.
    virtual int _bGetDataSourceInfo(int nOption);
    // The back end's catalogue operations; the base has none and answers 0.
    virtual int _bGetQueryShowColumns(CXYStringConcat<wchar_t>* pclText);
    virtual int _bInitItemFromQueryShowColumns(CNAStatementSQL* pclStatement);
    virtual int _bGetQueryShowIndex(CXYStringConcat<wchar_t>* pclText);
    virtual int _bInitKeysFromQueryShowIndex(CNAStatementSQL* pclStatement);

    // ---- Internal references ------------------------------------------------
    void AddRef() { m_nRef++; }
    unsigned int nRelease();
    unsigned int nGetRef() const { return m_nRef; }
    unsigned int nGetExternalRef() const { return m_nExternalRef; }

    // ---- Names -----------------------------------------------------------------
    void SetLogicalName(const wchar_t* pszName) { m_csLogicalName = pszName; }
    void SetDBName(const wchar_t* pszName) { m_csDBName = pszName; }
    CNAConnectionDescription* pclGetConnection() const { return m_pclConnection; }
    CNAError* pclGetError() const { return m_pclError; }
    unsigned int eGetSourceKind() const { return m_eSourceKind; }

    // ---- Look-ups -----------------------------------------------------------------
    // The first item of that name, ignoring case and accents; with bit 0x1
    // trailing spaces are ignored too. Null when none.
    CNAItemDescription* pclNAGetItemNoRef(const wchar_t* pszName, int nFlags) const;
    CNAItemDescription* pclNAGetItemNoRef(int nIndex) const { return m_tabItems[nIndex]; }
    CNAItemDescription* pclNAGetKeyNoRef(int nIndex) const { return m_tabKeys[nIndex]; }
    // The first key of that name, trailing spaces ignored; a reference.
    INAItemDescription* piNAGetKey(const wchar_t* pszName);
    // pclNAGetItem(name, 2); none: user error 26 and null.
    CNAItemDescription* pclNAGetCorrespondingItem(const wchar_t* pszName);
    // The item of that physical index, with a reference; null when none.
    CNAItemDescription* pclNAGetItemByPhysicalIndiceDB(int nIndex);

    // ---- Building -----------------------------------------------------------------
    // Filled from the server's catalogue; once filled, the driver knows it
    // for its own (s_pclReadFromCatalogue) until it is destroyed.
    int bInitDataSourceDescriptionFromDB(const wchar_t* pszName, int nOption);
    // A description the host holds, when the driver read it from the
    // catalogue: its items name their columns' sets. Null for any other.
    static CNADataSourceDescription* s_pclReadFromCatalogue(INADataSourceDescription* pi);
    int bInitDataSourceDescriptionFromStatement(CNAStatementSQL* pclStatement);
    // Completes the description from a host-parsed query: its items from
    // the output items, the keys and memos they make, the order's
    // directions and the browse item.
    int bCompleteDescription(CSQLParserInfo* pclParsed);
    // A computed item takes the type the server gives its value (a string
    // of bytes that of a binary column of its length); the memos are filed
    // anew in item order.
    void TakeServerType(CNAItemDescription* pclItem, CNAItemDescription* pclServer);
    // A new item initialised with these values and filed; physical index -1
    // becomes the number of items.
    int bAddItem(const wchar_t* pszName, const wchar_t* pszSourceName, const wchar_t* pszNameInSource,
                 unsigned int nDimension, unsigned int nSize, eNA_ITEMTYPE eType, int nPhysicalIndice,
                 int nKeyIndice, unsigned short nKeyFlags, int nIntegerPart, int nDecimalPart);
    // A primary item stays; a new key is appended to the keys with these
    // flags; a key keeps its index and takes the flags.
    int _bSetKeyType(CNAItemDescription* pclItem, unsigned short nKeyFlags);
    int _bSetKeyType(int nItem, unsigned short nKeyFlags);
    int _bSetKeyType(const wchar_t* pszItem, unsigned short nKeyFlags);
    // The item as the next component of the composite key.
    int _bAddItemComponent(CNAItemDescription* pclComposite, int nItem);
    int _bAddItemComponent(CNAItemDescription* pclComposite, const wchar_t* pszItem, int bDescending = 0);
    // Names the item (generated or made unique), files it by its physical
    // index and among the keys and memos.
    void _AddItem(CNAItemDescription* pclItem);
    // Offsets, sub-item indexes and the three sizes.
    void UpdateRecordSize();
    void _SetBestParseItem(INAItemDescription* piItem);
    void _SetBestParseItem(const wchar_t* pszName);

    // Host engine item types to item types.
    static eNA_ITEMTYPE g_eGetNAItemType(int eKXType);

protected:
    // An item whose key or memo nature changed is filed anew.
    void _RefileItem(CNAItemDescription* pclItem, bool bWasKey, bool bWasMemo);
    int _bImportItems();
    int _bImportIndex();
    // Runs the catalogue query pfnQuery writes and reads its result, when
    // there is one, with pfnRead.
    int _bImport(int (CNADataSourceDescription::*pfnQuery)(CXYStringConcat<wchar_t>*),
                 int (CNADataSourceDescription::*pfnRead)(CNAStatementSQL*));
    int _bInitItems(CNAStatementSQL* pclStatement);
    INAItemDescription* _piComputeBestParseItem() const;
    // The no-memory error; 0.
    int _bNoMemory(int nPoint);

    CNAError* m_pclError;                         // one reference
    unsigned int m_nRef;                          // internal references
    unsigned int m_nExternalRef;                  // the host's references
    CNAConnectionDescription* m_pclConnection;    // one reference
    CTString m_csLogicalName;                     // also the physical name
    CTString m_csDBName;
    CTString m_csExtendedInfo;
    CTString m_csType;
    CTString m_csOwner;
    unsigned int m_nDiskRecordSize;               // items but composite keys
    unsigned int m_nMemoryRecordSize;             // every item
    unsigned int m_nSubItemCount;                 // sum of the dimensions
    CRefArray<CNAItemDescription> m_tabItems;
    CRefArray<CNAItemDescription> m_tabKeys;
    CRefArray<CNAItemDescription> m_tabMemos;
    INAItemDescription* m_piBestParseItem;        // one external reference
    unsigned int m_eSourceKind;                   // SOURCE_*
};
