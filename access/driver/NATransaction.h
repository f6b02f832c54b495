// One named transaction of a connection, with a chain of nested levels
// below it. The outermost level runs BEGIN, COMMIT and ROLLBACK through
// the connection; a nested level is a savepoint named after its depth,
// since a second BEGIN on the server would commit the open transaction.
#pragma once

#include "access/driver/Interf.h"
#include "common/text/Tstring.h"

class CNAConnectionDescription;
class CNAError;
class CXError;

class CNATransaction : public CInterf {
public:
    enum : int {
        // Source-file number of this file in the debug line.
        ERRFILE_TRANSACTION = 2,
    };

    // An empty, closed, outermost level of the connection (not referenced).
    explicit CNATransaction(CNAConnectionDescription* pclConnection);
    ~CNATransaction() override;
    CNATransaction(const CNATransaction&) = delete;
    CNATransaction& operator=(const CNATransaction&) = delete;

    // ---- Virtual operations, in slot order (after CInterf's three) -----------
    virtual int bDetach(CNAError* pError);
    virtual int bSetActive(CNAError* pError, int bActive);
    virtual int bResume(CNAError* pError);
    // The server work of one level.
    virtual int _bNABegin(CNAError* pError);
    virtual int _bNACommit(CNAError* pError);
    virtual int _bNARollBack(CNAError* pError);

    // ---- Chain ------------------------------------------------------------------
    // Sets the name and the internal flag, then begins this level.
    int bBegin(CNAError* pError, const wchar_t* pszName, int bInternal);
    // Begins a nested level below the innermost open one.
    int bInternalTransactionBegin(CNAError* pError, const wchar_t* pszName);
    // By name (without regard to case), or the innermost open level when
    // the name is null or empty.
    int bCommit(CNAError* pError, const wchar_t* pszName);
    int bRollBack(CNAError* pError, const wchar_t* pszName);
    // Every level from the innermost outwards; 1 when each succeeded.
    int bRollBackAll(CNAError* pError);
    int _bInternalTransactionOpened() const;

    // ---- One level --------------------------------------------------------------
    int _bBegin(CNAError* pError);
    // Closed whatever the server answers; open while it is asked, so that
    // a session lost under the commit marks the transaction lost.
    int _bCommit(CNAError* pError);
    // A closed level succeeds without work; an open one is closed as a
    // commit is.
    int _bRollBack(CNAError* pError);

    // ---- A session lost under the transaction ---------------------------------
    // The server rolled the transaction back when the session ended: while
    // it is open its statements fail with the error that ended it, and
    // until the next begin no commit of it succeeds. The first error is kept.
    void MarkLost(const CXError* pclCause);
    int bIsLost() const { return m_pclLost != nullptr; }
    // Adds the kept error to pError; always 0.
    int bReportLost(CNAError* pError);
    // Closes every level without a word to the server; the mark stays.
    void Abandon();
    // Drops the mark: a new transaction has begun.
    void ForgetLoss();

    int bIsActive() const { return m_bOpen; }
    int bIsInternal() const { return m_bInternal; }
    const wchar_t* pszGetName() const { return m_csName.pszGet(); }
    // 0 for the outermost level, then 1, 2, ... down the chain.
    int nGetDepth() const { return m_nDepth; }
    // The savepoint of a nested level, from its depth only.
    void GetSavepointName(CTString* pclOut) const;

protected:
    int _bNameIs(const wchar_t* pszName) const;
    // Runs one text of a nested level on the connection.
    int _bRunSavepoint(CNAError* pError, const wchar_t* pszVerb);

    CNAConnectionDescription* m_pclConnection; // not referenced
    CTString m_csName;
    CNATransaction* m_pclNested; // one reference held; made on first need
    int m_bOpen;
    int m_bInternal;
    int m_nDepth;
    CNAError* m_pclLost; // one reference held; the error that ended the session
};
