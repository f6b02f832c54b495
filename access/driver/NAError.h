// The driver's error object: one error of this module with its sub-errors,
// an error kind and the text report the host reads.
#pragma once

#include "access/driver/INAVersion.h"
#include "common/platform/XError.h"
#include "common/text/Tstring.h"

#include <atomic>
#include <cstdarg>

class CNAConnectionDescription;

class CNAError : public INAError {
public:
    CNAError();
    CNAError(const CNAError&) = delete;
    CNAError& operator=(const CNAError&) = delete;

    // ---- INAError, in slot order ------------------------------------------
    int nGetVersion() const override;
    int nGetCompatSince() const override;
    int nGetNAVersion() const override;
    int nGetNACompatSince() const override;
    void NAVersion_EmptySlot_3() override;
    // The report of the held error; valid until the next call or the end of
    // the object.
    const wchar_t* pszGetError() override;
    // 0 when there is no error, else the user error code.
    unsigned int dwGetErrorId() const override;
    eNA_ERRORTYPE eGetErrorType() const override;
    // Infos of the held error, null when absent.
    const wchar_t* pszGetLogicalTableName() const override;
    const wchar_t* pszGetItemName() const override;
    CXError* pclGetXError() override;
    eNAERRORLEVEL eGetErrorLevel() const override;
    void EmptySlot52() override;
    void EmptySlot53() override;
    void EmptySlot54() override;
    void EmptySlot55() override;
    void EmptySlot56() override;

    // ---- Own virtual operations -------------------------------------------
    virtual ~CNAError();
    // Back to the state of a new object (no error, kind -1, empty report).
    virtual void Reset();

    // ---- Holders ----------------------------------------------------------
    // A new object has count 0; whoever keeps it adds one. The count is
    // atomic: holders on several threads share one error object.
    void AddRef() { m_nRefCount.fetch_add(1); }
    // Nothing at 0; the last release destroys the object. Answers the count
    // left.
    unsigned int nRelease();

    // ---- Raising ----------------------------------------------------------
    // A user error of the module with its message arguments. The first
    // error takes the kind; a later one becomes a sub-error. Unless quiet,
    // the debug line (nFile.nPoint) and, for the first error, the
    // connection's facts are added.
    void AddError(eNA_ERRORTYPE eType, int nFile, int nPoint, CNAConnectionDescription* pConnection,
                  unsigned int nUserError, ...);
    void AddError(eNA_ERRORTYPE eType, unsigned int nUserError, int nFile, int nPoint,
                  CNAConnectionDescription* pConnection);
    // An error built elsewhere: copied as the first error (with the kind and,
    // unless quiet, the connection's facts) or as a sub-error.
    void AddError(eNA_ERRORTYPE eType, const CXError* pError, CNAConnectionDescription* pConnection);
    // Like AddError, but the new error leads and an earlier one follows as
    // its sub-error; the kind becomes the new one.
    void AddErrorFirst(eNA_ERRORTYPE eType, int nFile, int nPoint, CNAConnectionDescription* pConnection,
                       unsigned int nUserError, ...);
    // The raising sequence of a failing site: the user error with its
    // message arguments, the logical table and item names (when given), the
    // user error number as EIT_NATIVECODE and, unless quiet, the debug line
    // (nFile.nPoint); no detail message. Then recorded as AddError does with
    // the kind and the connection.
    void RaiseUserError(eNA_ERRORTYPE eType, int nFile, int nPoint, CNAConnectionDescription* pConnection,
                        const wchar_t* pszTable, const wchar_t* pszItem, unsigned int nUserError, ...);
    // Called inside a handler: the no-memory error for a failed allocation,
    // else user error 34 at nFile.nPoint with the exception's text. Never
    // throws.
    void OnException(int nFile, int nPoint) noexcept;
    // Appends a copy unless the error's level is "no error".
    void AddSubError(const CXError* pError);
    // A failed host-value operation (status and the two host types).
    void SetAnyError(int nStatus, int nFromType, int nToType, int nFile, int nPoint,
                     CNAConnectionDescription* pConnection, const wchar_t* pszTable, const wchar_t* pszItem);
    // A server failure: the user error with the connection's database and
    // the server error number as message arguments, the server text as
    // user and system message, the number as EIT_BASECODE.
    void _SetDataBaseError(eNA_ERRORTYPE eType, CNAConnectionDescription* pConnection, unsigned int nUserError,
                           unsigned int nServerError, const wchar_t* pszServerText, const wchar_t* pszTable,
                           const wchar_t* pszItem);

    // Logical table and item names; nothing without a table name.
    void SetInfoNames(const wchar_t* pszTable, const wchar_t* pszItem);
    static void g_SetInfoNames(CXError* pError, const wchar_t* pszTable, const wchar_t* pszItem);
    // The connection's facts, when there is a connection.
    static void g_AddInfoNative(_CXErrorModule32* pError, CNAConnectionDescription* pConnection);
    // The module's debug line with a source-file and a point number.
    void AddDebugInfo(int nFile, int nPoint);
    static void g_AddDebugInfo(CXError* pError, int nFile, int nPoint);

    // ---- On the last error (the last sub-error, else the held one) ----------
    void AddDebugMessage(unsigned int nId, ...);
    void AddDebugMessageNoFormat(const wchar_t* pszText);
    void AddDebugMessageNoFormatFirst(const wchar_t* pszText);
    void AddUserMessage(unsigned int nId, ...);
    void AddUserMessageFirst(unsigned int nId, ...);
    void AddUserMessageNoFormat(const wchar_t* pszText);
    void SetSystemErrorCode(unsigned int nCode);
    const wchar_t* pszGetSystemErrorMessage() const;
    unsigned int dwGetSystemErrorCode() const;
    unsigned int nGetUserErrorCode() const;
    void SetDataBaseErrorCode(unsigned int nCode);
    void SetDataBaseErrorMessage(const wchar_t* pszText);
    // 0 when absent.
    unsigned int dwGetDataBaseErrorCode() const;
    unsigned int dwGetADOErrorCode() const;

    // ---- Whole object -----------------------------------------------------
    // Levels 1, 2 and 3; any other value is ignored.
    void SetErrorLevel(int nLevel);
    // The other object's kind and a copy of its error.
    void Copy(INAError* piOther);
    CTString StringDump() const;

    // The kind, written directly by the data access.
    void SetErrorType(eNA_ERRORTYPE eType) { m_eErrorType = eType; }

    // While set, raising adds neither the debug line nor the connection's
    // facts.
    void SetQuiet(int bQuiet) { m_bQuiet = bQuiet; }
    int bIsQuiet() const { return m_bQuiet; }

protected:
    CXError* _pclGetLastError();
    const CXError* _pclGetLastError() const;
    // The user error into a new first error or a new sub-error.
    void _AddErrorList(eNA_ERRORTYPE eType, int nFile, int nPoint, CNAConnectionDescription* pConnection,
                       unsigned int nUserError, va_list args);
    unsigned int _dwGetIntInfo(eERRORINFOTYPE eType) const;
    const wchar_t* _pszGetTextInfo(eERRORINFOTYPE eType) const;

    std::atomic<unsigned int> m_nRefCount;
    eNA_ERRORTYPE m_eErrorType;
    _CXErrorModule32 m_clError;
    CTString m_clDump;
    int m_bQuiet;
};

static_assert(sizeof(void*) != 4 || sizeof(CNAError) == 4 + 4 + 4 + sizeof(_CXErrorModule32) + 4 + 4,
              "CNAError: table, count, kind, error, report, quiet flag");
