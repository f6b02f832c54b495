#include "mysql/MySQLDataSourceDescription.h"

#include "access/driver/NAConnectionDescription.h"
#include "access/driver/NADriverSQL.h"
#include "access/driver/NAError.h"
#include "access/driver/NAItemDescription.h"
#include "access/driver/NaDriver.h"
#include "access/statement/NAStatementSQL.h"
#include "common/text/TextCompare.h"
#include "common/text/XYStringConcat.h"
#include "common/values/Any.h"
#include "common/values/ItemType.h"
#include "common/values/NACnvVariant.h"
#include "mysql/MySQLConnection.h"

#include <cwchar>
#include <new>
#include <set>
#include <string>

namespace {

// Raising point of a failed allocation.
constexpr int kPointNoMemory = 30;

// Positions of the column list's columns after the type (collation first
// from server 4.1 on).
enum : unsigned int {
    COL_NULL = 0,
    COL_KEY = 1,
    COL_DEFAULT = 2,
    COL_EXTRA = 3,
};

// Positions of the index list's columns.
enum : unsigned int {
    IDX_NON_UNIQUE = 1,
    IDX_KEY_NAME = 2,
    IDX_COLUMN = 4,
    IDX_COLLATION = 5,
};

// The direction bits of a key type.
constexpr unsigned short kDirections = CNAItemDescription::KF_ASCENDING | CNAItemDescription::KF_DESCENDING;

// Whether the index row's column sorts descending in its key.
bool bDescendingPart(const unsigned short nKeyType)
{
    return (nKeyType & CNAItemDescription::KF_DESCENDING) != 0;
}

// An item made here: the creation reference, given back on every way out.
struct CItemMade {
    CNAItemDescription* p;
    explicit CItemMade(CNAItemDescription* pcl) : p(pcl)
    {
        if (p != nullptr)
            p->AddRef();
    }
    ~CItemMade()
    {
        if (p != nullptr)
            p->nRelease();
    }
    CItemMade(const CItemMade&) = delete;
    CItemMade& operator=(const CItemMade&) = delete;
};

// Replaces the text by the statement and the formatted table name.
int bShowText(CXYStringConcat<wchar_t>* pclText, const wchar_t* pszStatement, CNAConnectionDescription* pConnection,
              CNAError* pError, const wchar_t* pszTable)
{
    CTString csName;
    if (!pConnection->bFormatTableName(pError, pszTable, &csName))
        return 0;
    pclText->m_nLength = 0;
    pclText->Add(pszStatement);
    pclText->Add(csName.pszGet(), csName.nTaille());
    return 1;
}

// Items whose default text is their value as it stands: texts and binaries.
bool bTakenAsWritten(eNA_ITEMTYPE eType)
{
    return bIsTextAW(eType) || eType == NA_IT_CHAR || eType == NA_IT_BINAIRE || eType == NA_IT_MEMOBINAIRE ||
           eType == NA_IT_MEMOBINAIRE4 || eType == NA_IT_IMAGE;
}

// A number, date or time as the server writes it begins with a digit, a
// sign or a point.
bool bValueText(const wchar_t* psz)
{
    return (*psz >= L'0' && *psz <= L'9') || *psz == L'-' || *psz == L'+' || *psz == L'.';
}

// Whether a default text of SHOW COLUMNS is an expression the server
// works out itself. MySQL marks those DEFAULT_GENERATED (8.0.13 on); a
// number, date or time default that is not a value text is one
// ("CURRENT_TIMESTAMP", "curdate()", "(2 + 3)"). A text's cannot be told
// from its literal here: false.
bool bShownDefaultIsExpression(eNA_ITEMTYPE eType, const CTString& csDefault, const CTString& csExtra)
{
    CTString csUpper(csExtra);
    csUpper.Majuscule();
    if (csUpper.nPos(L"DEFAULT_GENERATED") >= 0)
        return true;
    return !bTakenAsWritten(eType) && csDefault.nTaille() > 0 && !bValueText(csDefault.pszGet());
}

// A name part without its back quotes.
std::wstring Unquoted(const wchar_t* psz)
{
    std::wstring s(psz != nullptr ? psz : L"");
    if (s.size() < 2 || s.front() != L'`' || s.back() != L'`')
        return s;
    std::wstring r;
    for (size_t i = 1; i + 1 < s.size(); i++) {
        r += s[i];
        if (s[i] == L'`' && s[i + 1] == L'`')
            i++;
    }
    return r;
}

// MariaDB's version numbers, behind the "5.5.5-" some of its servers put
// first for older clients; false for another server.
bool bMariaDBVersion(const wchar_t* pszVersion, int* pnMajor, int* pnMinor, int* pnRevision)
{
    const CTString csVersion(pszVersion);
    if (csVersion.nPos(L"MariaDB") < 0)
        return false;
    const wchar_t* psz = csVersion.pszGet();
    if (csVersion.bCommenceParI(L"5.5.5-"))
        psz += 6;
    *pnMajor = *pnMinor = *pnRevision = 0;
    std::swscanf(psz, L"%d.%d.%d", pnMajor, pnMinor, pnRevision);
    return true;
}

// A BIT column's default as the server shows it, b'101', becomes the number
// it holds, as the column's values are read; any other text stays.
void BitDefaultAsNumber(const CTString& csType, CTString* pcsDefault)
{
    const std::wstring s(pcsDefault->pszGet() != nullptr ? pcsDefault->pszGet() : L"");
    if (!csType.bCommenceParI(L"bit") || s.size() < 4 || s.size() > 67 || (s[0] != L'b' && s[0] != L'B') ||
        s[1] != L'\'' || s.back() != L'\'')
        return;
    unsigned long long ull = 0;
    for (size_t i = 2; i + 1 < s.size(); i++) {
        if (s[i] != L'0' && s[i] != L'1')
            return;
        ull = (ull << 1) | static_cast<unsigned long long>(s[i] - L'0');
    }
    pcsDefault->Set(std::to_wstring(ull).c_str());
}

// The next row; false at the end, and false with *pbFailed on a failed fetch.
bool bNextRow(CNAStatementSQL* pclStatement, int* pbFailed)
{
    if (!pclStatement->bFetch(0)) {
        *pbFailed = 1;
        return false;
    }
    return !pclStatement->bEndOfData();
}

} // namespace

CMySQLDataSourceDescription::CMySQLDataSourceDescription(CNAConnectionDescription* pclConnection, CNAError* pclError)
    : CNADataSourceDescription(pclConnection, pclError)
{
}

CMySQLDataSourceDescription::~CMySQLDataSourceDescription() {}

bool CMySQLDataSourceDescription::_bServer4_1() const
{
    const CMySQLConnection* pcl = dynamic_cast<const CMySQLConnection*>(m_pclConnection);
    return pcl != nullptr && pcl->bServerVersionGreaterThan4_1();
}

int CMySQLDataSourceDescription::_bGetQueryShowColumns(CXYStringConcat<wchar_t>* pclText)
{
    return bShowText(pclText, _bServer4_1() ? L"SHOW FULL COLUMNS FROM " : L"SHOW COLUMNS FROM ", m_pclConnection,
                     m_pclError, pszGetDBTableName());
}

int CMySQLDataSourceDescription::_bGetQueryShowIndex(CXYStringConcat<wchar_t>* pclText)
{
    return bShowText(pclText, L"SHOW INDEX FROM ", m_pclConnection, m_pclError, pszGetDBTableName());
}

unsigned short CMySQLDataSourceDescription::_nKeyType(const wchar_t* pszKey)
{
    const CTString csKey(pszKey != nullptr ? pszKey : L"");
    if (csKey.bCommenceParI(L"PRI"))
        return CNAItemDescription::KF_PRIMARY | CNAItemDescription::KF_ASCENDING;
    if (csKey.bCommenceParI(L"UNI"))
        return CNAItemDescription::KF_UNIQUE | CNAItemDescription::KF_ASCENDING;
    return 0;
}

int CMySQLDataSourceDescription::_bInitItemFromQueryShowColumns(CNAStatementSQL* pclStatement)
{
    CNADriver* pclDriver = CNADriver::s_pclDriver;
    if (pclDriver == nullptr)
        return _bNoMemory(kPointNoMemory);
    const bool b4_1 = _bServer4_1();
    const unsigned int nAfterType = b4_1 ? 3 : 2;
    int nAutoPrimary = 0;
    int bFailed = 0;
    // Read on the first text default, where the server tells them apart.
    std::set<std::wstring> setExpression;
    const bool bQuoted = _bQuotedDefaults();
    bool bExpressionsRead = false;
    CTString csName, csType, csCollation, csNull, csKey, csDefault, csExtra;
    for (int nRow = 0; bNextRow(pclStatement, &bFailed); nRow++) {
        const struct {
            unsigned int nColumn;
            CTString* pcs;
        } aRead[] = {{0, &csName},
                     {1, &csType},
                     {nAfterType + COL_NULL, &csNull},
                     {nAfterType + COL_KEY, &csKey},
                     {nAfterType + COL_DEFAULT, &csDefault},
                     {nAfterType + COL_EXTRA, &csExtra},
                     {2, &csCollation}};
        csCollation.Vide();
        bool bNullDefault = false;
        for (const auto& st : aRead)
            if ((st.pcs != &csCollation || b4_1) &&
                !CNADriverSQL::g_bGetText(pclStatement, st.nColumn, st.pcs,
                                          st.pcs == &csDefault ? &bNullDefault : nullptr))
                return 0;

        if (!bNullDefault)
            BitDefaultAsNumber(csType, &csDefault);
        eNA_ITEMTYPE eType = NA_IT_EMPTY;
        unsigned int nSize = 0;
        unsigned int nPrecision = 0;
        unsigned int nScale = 0;
        unsigned int nCharacters = 0;
        if (!m_pclConnection->bSQLTypeNameToNAType(m_pclError, &eType, &nSize, &nPrecision, &nScale, csType.pszGet(),
                                                   csCollation.pszGet(), &nCharacters))
            return 0;
        unsigned short nKeyType = _nKeyType(csKey.pszGet());
        int nKeyIndex = -1;
        if ((nKeyType & CNAItemDescription::KF_PRIMARY) != 0 && csExtra.nPos(L"auto_increment") >= 0) {
            eType = nSize == 4 ? NA_IT_IDAUTO4 : NA_IT_IDAUTO;
            nKeyIndex = nAutoPrimary++;
        } else {
            nKeyType = 0;
        }
        CItemMade clItem(pclDriver->pclAllocItemDescription());
        if (clItem.p == nullptr)
            return _bNoMemory(kPointNoMemory);
        clItem.p->bInit(csName.pszGet(), pszGetDBTableName(), csName.pszGet(), 1, nSize, eType, nRow, nKeyIndex,
                        nKeyType, static_cast<int>(nPrecision), static_cast<int>(nScale));
        // The server's own type text: what the item type cannot tell (YEAR).
        clItem.p->SetDBType(csType.pszGet(), 0);
        clItem.p->SetCharacterLength(nCharacters);
        clItem.p->SetColumnCharset(csCollation.pszGet());
        if (!csNull.bEstEgal(L"YES"))
            clItem.p->SetNullable(0);
        bool bExpression = !bNullDefault && bShownDefaultIsExpression(eType, csDefault, csExtra);
        if (!bNullDefault && !bExpression && bQuoted && bTakenAsWritten(eType) && csDefault.nTaille() > 0) {
            if (!bExpressionsRead && !_bReadExpressionDefaults(&setExpression))
                return 0;
            bExpressionsRead = true;
            bExpression = setExpression.count(csName.pszGet()) > 0;
        }
        if (bExpression)
            clItem.p->SetDefaultExpression();
        else
            _SetDefault(clItem.p, csDefault, bNullDefault);
        _AddItem(clItem.p);
    }
    return bFailed ? 0 : 1;
}

bool CMySQLDataSourceDescription::_bQuotedDefaults() const
{
    int nMajor, nMinor, nRevision;
    if (!bMariaDBVersion(m_pclConnection->pszGetServerVersion(), &nMajor, &nMinor, &nRevision))
        return false;
    return nMajor > 10 || (nMajor == 10 && (nMinor > 2 || (nMinor == 2 && nRevision >= 7)));
}

bool CMySQLDataSourceDescription::s_bQuotedDefaultIsExpression(const wchar_t* pszDefault)
{
    const CTString csDefault(pszDefault);
    if (csDefault.nTaille() == 0 || csDefault.bEstEgal(L"NULL") || csDefault.bCommenceParI(L"'") ||
        csDefault.bCommenceParI(L"b'"))
        return false;
    // Numbers stand bare too, with the server's decimal point.
    wchar_t* pEnd = nullptr;
    wcstod_l(csDefault.pszGet(), &pEnd, STR_FixedLocale());
    return pEnd == nullptr || *pEnd != 0 || !bValueText(csDefault.pszGet());
}

int CMySQLDataSourceDescription::_bReadExpressionDefaults(std::set<std::wstring>* pNames)
{
    // The schema written before the table's name, else the connection's.
    const CTString csTable(pszGetDBTableName());
    const int nDot = csTable.nPos(L'.');
    CTString csSchema, csName(csTable);
    if (nDot >= 0) {
        csSchema = csTable.clMilieu(0, nDot);
        csName = csTable.clMilieu(nDot + 1);
    }
    for (CTString* pcs : {&csSchema, &csName})
        pcs->Set(std::wstring(Unquoted(pcs->pszGet())).c_str());
    CTString csSchemaLiteral(L"DATABASE()"), csNameLiteral;
    if ((nDot >= 0 && !CNADriverSQL::g_bTextLiteral(m_pclConnection, m_pclError, csSchema.pszGet(), &csSchemaLiteral)) ||
        !CNADriverSQL::g_bTextLiteral(m_pclConnection, m_pclError, csName.pszGet(), &csNameLiteral))
        return 0;
    const std::wstring strQuery =
        std::wstring(L"SELECT TABLE_NAME, COLUMN_NAME, COLUMN_DEFAULT FROM INFORMATION_SCHEMA.COLUMNS WHERE "
                     L"TABLE_SCHEMA = ") +
        csSchemaLiteral.pszGet() + L" AND TABLE_NAME = " + csNameLiteral.pszGet();
    CNADriverSQL* pclSQL = CNADriver::s_pclGetDriverSQL();
    CNAStatementSQL* pclStatement = nullptr;
    if (pclSQL == nullptr || !pclSQL->bExecute(m_pclError, &pclStatement, m_pclConnection, strQuery.c_str(), nullptr, 0))
        return pclSQL == nullptr ? _bNoMemory(kPointNoMemory) : 0;
    int bFailed = 0;
    int bResult = 1;
    // The server matches the name as its file system does: the rows of the
    // table written exactly that way win over a name that differs by case.
    std::set<std::wstring> setOther;
    bool bExact = false;
    CTString csRowTable, csColumn, csDefault;
    while (pclStatement != nullptr && bNextRow(pclStatement, &bFailed)) {
        bool bNull = false;
        if (!CNADriverSQL::g_bGetText(pclStatement, 0, &csRowTable) ||
            !CNADriverSQL::g_bGetText(pclStatement, 1, &csColumn) ||
            !CNADriverSQL::g_bGetText(pclStatement, 2, &csDefault, &bNull)) {
            bResult = 0;
            break;
        }
        const bool bSame = csRowTable.bEstEgal(csName.pszGet());
        bExact = bExact || bSame;
        if (!bNull && s_bQuotedDefaultIsExpression(csDefault.pszGet()))
            (bSame ? pNames : &setOther)->insert(csColumn.pszGet());
    }
    if (!bExact)
        pNames->swap(setOther);
    if (pclStatement != nullptr)
        pclStatement->nRelease();
    return bResult && !bFailed;
}

void CMySQLDataSourceDescription::_SetDefault(CNAItemDescription* pclItem, const CTString& csDefault, bool bNull)
{
    const unsigned short nType = static_cast<unsigned short>(pclItem->eGetItemTQType());
    CAny clValue;
    if (bNull) {
        clValue.SetNullFlag(true);
        pclItem->SetDefaultValue(&clValue, -1);
        return;
    }
    // A number, date or time default that is no value text leaves none
    // rather than the cell's reading of it (a zero date).
    if (!bTakenAsWritten(pclItem->eNAGetItemType()) && !bValueText(csDefault.pszGet()))
        return;
    // A default the cell cannot take leaves none either, and no trace in the
    // description's error: the cell reports into an error of its own.
    CNAError* pclIgnored = new (std::nothrow) CNAError;
    if (pclIgnored == nullptr)
        return;
    pclIgnored->AddRef();
    CNAConvertVariant* pclCell =
        CNADriver::s_pclDriver->pclGetNewVariant_NV_Any(pclIgnored, m_pclConnection, nullptr, nType);
    if (pclCell != nullptr) {
        pclCell->AddRef();
        pclCell->SetItemDesc(pclItem, pclItem);
        if (pclCell->bSetValueDB(csDefault.pszGet(), static_cast<unsigned int>(csDefault.nTaille())) &&
            pclCell->bGetValue(&clValue))
            pclItem->SetDefaultValue(&clValue, -1);
        pclCell->nRelease();
    }
    pclIgnored->nRelease();
}

int CMySQLDataSourceDescription::_bInitKeysFromQueryShowIndex(CNAStatementSQL* pclStatement)
{
    int bResult = 1;
    int bFailed = 0;
    int nRows = 0;
    CNAItemDescription* pclPending = nullptr;
    CTString csPreviousKey, csPreviousColumn, csNonUnique, csKey, csColumn, csCollation;
    unsigned short nPreviousType = 0;
    unsigned int nColumns = 0;
    if (!pclStatement->bGetColumnNbr(&nColumns, 0))
        nColumns = 0;
    while (bResult && bNextRow(pclStatement, &bFailed)) {
        if (!CNADriverSQL::g_bGetText(pclStatement, IDX_NON_UNIQUE, &csNonUnique) ||
            !CNADriverSQL::g_bGetText(pclStatement, IDX_KEY_NAME, &csKey) ||
            !CNADriverSQL::g_bGetText(pclStatement, IDX_COLUMN, &csColumn)) {
            bResult = 0;
            break;
        }
        // A server that keeps descending index parts says "D"; "A", NULL or
        // no such column leave the part ascending.
        csCollation.Vide();
        if (nColumns > IDX_COLLATION && !CNADriverSQL::g_bGetText(pclStatement, IDX_COLLATION, &csCollation)) {
            bResult = 0;
            break;
        }
        unsigned short nType = csNonUnique.bEstEgal(L"0") ? CNAItemDescription::KF_UNIQUE : CNAItemDescription::KF_DUPLICATES;
        nType |= csCollation.bEstEgal(L"D") ? CNAItemDescription::KF_DESCENDING : CNAItemDescription::KF_ASCENDING;
        if ((nType & CNAItemDescription::KF_UNIQUE) != 0 && csKey.bEstEgal(L"PRIMARY"))
            nType |= CNAItemDescription::KF_PRIMARY;
        if (nRows > 0)
            bResult = _bInitKeyDescription(&pclPending, csKey.pszGet(), !csKey.bEstEgal(csPreviousKey.pszGet()),
                                           csPreviousColumn.pszGet(), nPreviousType);
        csPreviousKey = csKey;
        csPreviousColumn = csColumn;
        nPreviousType = nType;
        nRows++;
    }
    if (bFailed)
        bResult = 0;
    if (nRows > 0 && bResult)
        return _bAddKeyDescription(&pclPending, csPreviousColumn.pszGet(), nPreviousType);
    // A key left half read is not filed.
    if (pclPending != nullptr)
        pclPending->nRelease();
    return bResult;
}

int CMySQLDataSourceDescription::_bInitKeyDescription(CNAItemDescription** ppclPending, const wchar_t* pszKeyName,
                                                      int bNewKey, const wchar_t* pszColumn, unsigned short nKeyType)
{
    if (bNewKey)
        return _bAddKeyDescription(ppclPending, pszColumn, nKeyType);
    if (*ppclPending == nullptr) {
        CNAItemDescription* pcl =
            CNADriver::s_pclDriver != nullptr ? CNADriver::s_pclDriver->pclAllocItemDescription() : nullptr;
        if (pcl == nullptr)
            return _bNoMemory(kPointNoMemory);
        pcl->AddRef();
        // The key itself ascends: each component keeps its own direction.
        const unsigned short nCompositeType = static_cast<unsigned short>(
            (nKeyType & ~kDirections) | CNAItemDescription::KF_ASCENDING | CNAItemDescription::KF_COMPOSITE);
        pcl->bInit(pszKeyName, pszGetPhysicalName(), pszKeyName, 1, 0, NA_IT_BINAIRE, -1,
                   static_cast<int>(nGetNumKeys()), nCompositeType, 0, 0);
        *ppclPending = pcl;
    }
    return _bAddItemComponent(*ppclPending, pszColumn, bDescendingPart(nKeyType));
}

int CMySQLDataSourceDescription::_bAddKeyDescription(CNAItemDescription** ppclPending, const wchar_t* pszColumn,
                                                     unsigned short nKeyType)
{
    if (*ppclPending == nullptr) {
        CNAItemDescription* pclItem = pclNAGetItemNoRef(pszColumn, 2);
        if (pclItem != nullptr)
            _bSetKeyType(pclItem, nKeyType);
        return 1;
    }
    CNAItemDescription* pcl = *ppclPending;
    *ppclPending = nullptr;
    const int bResult = _bAddItemComponent(pcl, pszColumn, bDescendingPart(nKeyType));
    if (bResult)
        _AddItem(pcl);
    pcl->nRelease();
    return bResult;
}
