// A data access for the statement tests, until the data access itself is
// built: it opens its current record over a host description and the
// database's, keeps one statement per browse item (the unnamed one for
// writes and counts), and reads, skips, writes and counts the way the data
// access will: a first or last read reopens the browse (a count of rows to
// skip becomes an offset), a refresh after a write finds the row again, and
// a write tells every statement. A query text may stand for a query source.
#pragma once

#include "access/driver/NADataSourceDescription.h"
#include "access/driver/NAError.h"
#include "access/sql/NACommand.h"
#include "access/sql/NAFilter.h"
#include "access/sql/NARecherche.h"
#include "access/statement/NARecord.h"
#include "access/statement/NARecordCache.h"
#include "access/statement/NAStatement.h"
#include "access/table/NADataAccess.h"
#include "access/table/NAIDAuto.h"
#include "access/table/NAPosition.h"

#include <map>
#include <string>

// Auto-increment values read on the server: MAX of the column, plus one
// for a new one.
class CTestIDAuto : public CNAIDAuto {
public:
    int m_nNextValues = 0;
    int bGetNextValue(CNADataAccess* pclAccess, CNAColumn* pclColumn, CNAError* pclError, CAny* pValue) override;
    int bGetMaxCurrentValue(CNADataAccess* pclAccess, CNAColumn* pclColumn, CNAError* pclError, CAny* pValue) override;
    int _bRead(CNADataAccess* pclAccess, CNAColumn* pclColumn, CNAError* pclError, CAny* pValue, bool bNext);
};

class CTestDataAccess : public CNADataAccess {
public:
    // Holds a reference of its own (released by the owner).
    CTestDataAccess(INADataSourceDescription* piHost, CNAConnectionDescription* pclConnection, CNAError* pclError);
    ~CTestDataAccess() override;

    // The current record over the host description and the database's
    // (may be null); false when it cannot be made.
    bool Open(CNADataSourceDescription* pclDatabase);
    // A query source whose SELECT is this text, sent as it is.
    void SetQueryText(const wchar_t* pszText, unsigned int eMode = 0);
    // A host-parsed query source, written by the statement (the caller
    // keeps the digest alive).
    void SetQueryParse(CSQLParserInfo* pclInfo, unsigned int eMode = 0);

    // The statement of the item, found or made; the data access holds it.
    CNAStatement* Statement(const wchar_t* pszItem);
    void DropStatements();

    // Reads in the direction, the browse flags given; *pllMoved (may be
    // null) the rows crossed when a skip runs out.
    int bRead(const wchar_t* pszItem, int eDirection, unsigned int nFlags = 0);
    int bSkip(const wchar_t* pszItem, int eDirection, long long llCount, long long* pllMoved = nullptr,
              unsigned int nFlags = 0);
    // A search on the item, then its first row.
    int bSearch(const wchar_t* pszItem, const CAny* pValue, int bExact);
    // A write of the current record through the unnamed statement, then
    // every statement told (the unnamed one included).
    int bWrite(int eType, unsigned int nFlags = 0);

    // ---- What the data access will do ------------------------------------------------------
    // Reads through the item's statement (0x2000 in the flags: served by
    // the table cache, made on the first read), moves, and positions the
    // statement fills and returns to, numbered from 1.
    int bHLitxxx(const wchar_t* pszItem, eNA_PARSEDIRECTION eDirection, int n, eNA_LOCKTYPE eLock,
                 eNA_LOCKTYPE* peLock, unsigned int nFlags) override;
    int bSkipRecord(const wchar_t* pszItem, eNA_PARSEDIRECTION eDirection, long long llCount, int n,
                    eNA_LOCKTYPE eLock, eNA_LOCKTYPE* peLock, unsigned int nFlags) override;
    int bHSauvePosition(int* pnPosition, const wchar_t* pszItem, eNAPOSITION eOption) override;
    int bHRetourPosition(int nPosition, wchar_t* pszItem, int bKeep, eNAPOSITION eOption) override;
    int bHLiberePosition(int nPosition);
    // The table cache's full cache takes the write; its row, -1 without one.
    int _nWriteInTableCache(int eType, unsigned int nFlags);
    int bGetNbEnr(long long* pllCount, unsigned int nMode, unsigned int nFlags, CNAStatement* pclStatement,
                  int eDirection) override;
    int bBuildSelect(CNACommand* pclCommand, CNAStatement* pclStatement, const wchar_t* pszItem, int bForward,
                     unsigned int nFlags, long long* pllCount) override;
    CNAIDAuto* _pclAllocIDAuto() override;
    int _bFetch(CNAStatement* pclStatement, const wchar_t* pszItem, int eDirection, long long llCount, int n,
                eNA_LOCKTYPE eLock, eNA_LOCKTYPE* peLock, unsigned int nFlags, int bRestart,
                long long* pllMoved) override;
    int _bOpenStatement(CNAStatement* pclStatement, const wchar_t* pszItem, int bForward, unsigned int nFlags,
                        long long* pllCount);
    int _bUpdateParse(int bRestoreAfter, CNAStatement* pclStatement, int n, int eDirection, long long llCount,
                      long long* pllMoved);

    // Browses with a record cache.
    bool m_bRecordCache = false;
    // The last statement read or written.
    CNAStatement* m_pclLast = nullptr;
    CTestIDAuto* m_pclTestIDAuto = nullptr;

private:
    std::map<int, CNAPosition*> m_mapPosition;            // one reference each
    int m_nLastPosition = 0;
    std::wstring m_strQuery;
};
