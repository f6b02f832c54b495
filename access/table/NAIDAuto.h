// Values of a table's automatic identifier computed on the client side: the
// next one for a new record and the current maximum, each asked of the
// server by an internal query that lives only while the value is read.
#pragma once

#include "access/driver/Interf.h"

template <class T>
class CXYStringConcat;
class CAny;
class CNAColumn;
class CNADataAccess;
class CNAError;
class CNAInternalParse;

class CNAIDAuto : public CInterf {
public:
    enum : int {
        // Source-file number in the debug line.
        ERRFILE_IDAUTO = 14,
    };

    // Count 0, no query.
    CNAIDAuto();
    CNAIDAuto(const CNAIDAuto&) = delete;
    CNAIDAuto& operator=(const CNAIDAuto&) = delete;

    // ---- Virtual operations, in slot order (CInterf's _NotToBeCalled after the
    // destructors) --------------------------------------------------------------------
    // The next-value query closed, then the current-maximum query.
    ~CNAIDAuto() override;
    virtual int bGetNextValue(CNADataAccess* pclDataAccess, CNAColumn* pclColumn, CNAError* pclError, CAny* pValue);
    virtual int bGetMaxCurrentValue(CNADataAccess* pclDataAccess, CNAColumn* pclColumn, CNAError* pclError,
                                    CAny* pValue);
    virtual int _bBuildQueryGetNextValue(CXYStringConcat<wchar_t>* pclText, CNADataAccess* pclDataAccess,
                                         CNAColumn* pclColumn);
    virtual int _bBuildQueryGetMaxCurrentValue(CXYStringConcat<wchar_t>* pclText, CNADataAccess* pclDataAccess,
                                               CNAColumn* pclColumn);
    virtual void _PrefixMessageErreur(CNAError* pclError, CNADataAccess* pclDataAccess, CNAColumn* pclColumn);

    // "SELECT MAX(column)" with "+1" when bNext, " FROM table", appended to
    // the text; a query source names its source column and table. 1.
    int _bBuildQueryGetMax(CXYStringConcat<wchar_t>* pclText, CNADataAccess* pclDataAccess, CNAColumn* pclColumn,
                           int bNext);

    // The query's reference dropped and the field cleared; nothing without one.
    void _CloseInternalParseNextValue();
    void _CloseInternalParseMaxCurrentValue();

protected:
    CNAInternalParse* m_pclNextValueQuery;       // one reference while a next value is read
    CNAInternalParse* m_pclMaxCurrentValueQuery; // one reference while the maximum is read
};
