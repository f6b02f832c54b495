// One SQL text the driver itself needs answered, run on a connection in a
// private data access under the name "$ZTInternal", and read row by row:
// into host values, or as text.
#pragma once

#include "common/platform/ZTUnknown.h"

template <class T>
class CXYStringConcat;
class CAny;
class CNAColumn;
class CNAConnectionDescription;
class CNADataAccess;
class CNAError;
class CNAStatement;

enum eNA_PARSEDIRECTION : int;

class CNAInternalParse : public CZTUnknown {
public:
    // Both pointers borrowed.
    CNAInternalParse(CNAError* pclError, CNAConnectionDescription* pclConnection);
    CNAInternalParse(const CNAInternalParse&) = delete;
    CNAInternalParse& operator=(const CNAInternalParse&) = delete;
    // The statement's reference, then the data access's.
    ~CNAInternalParse() override;

    // The text run; the object (count 0), or null with the error.
    static CNAInternalParse* s_pclGetNAInternalParse(const wchar_t* pszQuery, CNAError* pclError,
                                                     CNAConnectionDescription* pclConnection);
    // Every row of the text appended to the text given.
    static int s_bDoInternalParse(const wchar_t* pszQuery, CNAError* pclError, CNAConnectionDescription* pclConnection,
                                  CXYStringConcat<wchar_t>* pclText, const wchar_t* pszRowSeparator,
                                  const wchar_t* pszColumnSeparator);

    int _bAllocate();
    int _bExecute(const wchar_t* pszQuery);
    int bReExecute();
    // Without a statement: 1 and out of range.
    int bFetch(eNA_PARSEDIRECTION eDirection, int* pbOutOfRange);
    int bFetchData(eNA_PARSEDIRECTION eDirection, int* pbOutOfRange, CAny* pValues, int nCount);
    int bFetchData(eNA_PARSEDIRECTION eDirection, int* pbOutOfRange, CXYStringConcat<wchar_t>* pclText,
                   const wchar_t* pszRowSeparator, const wchar_t* pszColumnSeparator);
    // 0 when a fetch or a value read failed; the rows appended before stay.
    int bFetchAll(CXYStringConcat<wchar_t>* pclText, const wchar_t* pszRowSeparator,
                  const wchar_t* pszColumnSeparator);
    int nGetColumnNbr();
    CNAColumn* pclGetColumnNoRef(int n);
    CNAColumn* pclGetColumnNoRef(const wchar_t* pszName);

protected:
    // One row appended, after the row separator when bSeparate.
    int _bFetchRow(eNA_PARSEDIRECTION eDirection, int* pbOutOfRange, CXYStringConcat<wchar_t>* pclText,
                   const wchar_t* pszRowSeparator, const wchar_t* pszColumnSeparator, bool bSeparate);

    CNAError* m_pclError;                      // borrowed
    CNAConnectionDescription* m_pclConnection; // borrowed
    CNADataAccess* m_pclDataAccess;            // one reference, or null
    CNAStatement* m_pclStatement;              // one reference, or null
};
