// The MySQL form of a table description: the catalogue is read with the
// server's SHOW statements, columns first ("SHOW FULL COLUMNS FROM " from
// server 4.1 on, "SHOW COLUMNS FROM " before), then indexes ("SHOW INDEX
// FROM "). Columns are read by position, as every server version writes
// them.
#pragma once

#include "access/driver/NADataSourceDescription.h"

#include <set>
#include <string>

class CMySQLDataSourceDescription : public CNADataSourceDescription {
public:
    CMySQLDataSourceDescription(CNAConnectionDescription* pclConnection, CNAError* pclError);
    ~CMySQLDataSourceDescription() override;

    // ---- Replaced operations, in slot order -------------------------------------
    int _bGetQueryShowColumns(CXYStringConcat<wchar_t>* pclText) override;
    // One item a column: type from the declaration and collation, an
    // auto-increment primary integer as an automatic identifier (keys of
    // other columns come from the indexes), NULL rule and default value.
    int _bInitItemFromQueryShowColumns(CNAStatementSQL* pclStatement) override;
    int _bGetQueryShowIndex(CXYStringConcat<wchar_t>* pclText) override;
    // Key flags of single-column indexes; an index of several columns
    // becomes a composite key item named after it, its columns in index
    // order.
    int _bInitKeysFromQueryShowIndex(CNAStatementSQL* pclStatement) override;

    // ---- Steps --------------------------------------------------------------------
    // Key flags of the Key column: "PRI" primary, "UNI" unique, else 0.
    static unsigned short _nKeyType(const wchar_t* pszKey);
    // Ends a key at its last column: the pending composite item gets it and
    // is filed (and let go either way); without one the column takes the
    // key flags, and an unknown column is passed over.
    int _bAddKeyDescription(CNAItemDescription** ppclPending, const wchar_t* pszColumn, unsigned short nKeyType);
    // The previous index row's column: ends its key when a new one starts,
    // else joins the pending composite item (made on its first column).
    int _bInitKeyDescription(CNAItemDescription** ppclPending, const wchar_t* pszKeyName, int bNewKey,
                             const wchar_t* pszColumn, unsigned short nKeyType);

    // A default text of INFORMATION_SCHEMA.COLUMNS where literals are
    // quoted (MariaDB 10.2.7 on): whether it is an expression. NULL,
    // numbers and bit literals stand bare and are values.
    static bool s_bQuotedDefaultIsExpression(const wchar_t* pszDefault);

protected:
    // Whether the server quotes literal defaults in INFORMATION_SCHEMA and
    // writes expressions bare (MariaDB 10.2.7 on); SHOW COLUMNS writes both
    // alike.
    bool _bQuotedDefaults() const;
    // The names of the table's columns whose default is an expression, as
    // INFORMATION_SCHEMA.COLUMNS tells on such a server.
    int _bReadExpressionDefaults(std::set<std::wstring>* pNames);
    // Whether the connection's server reads SHOW FULL COLUMNS (4.1 on).
    bool _bServer4_1() const;
    // The item's default from the column list's text (NULL: a NULL value of
    // the item's host type).
    void _SetDefault(CNAItemDescription* pclItem, const CTString& csDefault, bool bNull);
};
