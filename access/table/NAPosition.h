// A noted browse position: the statement it was noted on, the row of the
// statement's record cache, the record saves of the row, the user search and
// filter in force, and the browse item. The data access files positions by
// number; the statement fills them and returns to them.
#pragma once

#include "access/driver/Interf.h"
#include "access/sql/NAFilterSave.h"
#include "access/table/NAUserSearch.h"
#include "common/text/Tstring.h"

class CNADataAccess;
class CNAFilter;
class CNAStatement;

class CNAPosition : public CInterf {
public:
    CNAPosition();
    // Gives back both record saves, then drops the statement.
    ~CNAPosition() override;
    CNAPosition(const CNAPosition&) = delete;
    CNAPosition& operator=(const CNAPosition&) = delete;

    void InvalidateRowID() { m_nRowId = -1; }
    // The statement (one reference) and its data access.
    void SetStatement(CNAStatement* pclStatement);
    // The filter and its active state; 1.
    int bKeepFilter(CNAFilter* pclFilter);
    void SetItem(const wchar_t* pszItem) { m_csItem.Set(pszItem); }
    // The data access's own record save (a reference taken on it).
    void SetRecordSaveID_VerrueHAjouteHLit(CNADataAccess* pclDataAccess, int nId);
    // Valid; the row and the record save (a reference taken on it unless
    // -1), a copy of the user search and the repeat count with its side. 1.
    int bSetParameters(int nRowId, int nRecordSaveId, const CNAUserSearch* pclUserSearch, long long llEqualCount,
                       int bEqualCountBackward = 0);
    // With a reference added, or null.
    CNAStatement* pclGetStatement() const;

    int nGetRowId() const { return m_nRowId; }
    int nGetRecordSaveId() const { return m_nRecordSaveId; }
    int nGetOwnRecordSaveId() const { return m_nOwnRecordSaveId; }
    CNADataAccess* pclGetDataAccessNoRef() const { return m_pclDataAccess; }
    const CNAUserSearch* pclGetUserSearch() const { return &m_clUserSearch; }
    CNAFilterSave* pclGetFilterSave() { return &m_clFilterSave; }
    const wchar_t* pszGetItem() const { return m_csItem.pszGet(); }
    int bIsValid() const { return m_bValid; }
    void SetValid(int b) { m_bValid = b; }
    int bRowDeleted() const { return m_bRowDeleted; }
    void SetRowDeleted(int b) { m_bRowDeleted = b; }
    CNAStatement* pclGetStatementNoRef() const { return m_pclStatement; }
    long long llGetEqualCount() const { return m_llEqualCount; }
    int bEqualCountBackward() const { return m_bEqualCountBackward; }

private:
    // A reference dropped on a save of the data access.
    void _ReleaseSave(int nId);

    int m_nRowId;                   // 1, the statement's record-cache row, -1 none
    int m_nRecordSaveId;            // 2, one reference held, -1 none
    int m_nOwnRecordSaveId;         // 3, one reference held, -1 none
    CNADataAccess* m_pclDataAccess; // 4, not counted
    CNAUserSearch m_clUserSearch;   // 5
    CNAFilterSave m_clFilterSave;   // 6
    CTString m_csItem;              // 7
    int m_bValid;                   // 8
    int m_bRowDeleted;              // 9
    CNAStatement* m_pclStatement;   // 10, one reference
    long long m_llEqualCount;       // 11
    int m_bEqualCountBackward;      //    gathered reading backward
};
