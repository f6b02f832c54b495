// One named output value of a command: a column's value cell, or a cell
// under a name of its own.
#pragma once

#include "access/driver/Interf.h"
#include "common/text/Tstring.h"

class CNAColumn;
class CNAConnectionDescription;
class CNAConvertVariant;

class CNADefine : public CInterf {
public:
    CNADefine();
    // A reference on the column and on its value cell.
    explicit CNADefine(CNAColumn* pclColumn);
    // A copy of the name and a reference on the cell.
    CNADefine(const wchar_t* pszName, CNAConvertVariant* pclCell);
    ~CNADefine() override;

    virtual int bIsCursor() { return 0; }

    // The column's name, else the define's own.
    const wchar_t* pszGetName() const;
    CNAColumn* pclGetColumn() const { return m_pclColumn; }
    CNAConvertVariant* pclGetValue() const { return m_pclValue; }
    CNAConnectionDescription* pclGetCnx() const;

protected:
    CNAColumn* m_pclColumn;         // one reference, or null
    CTString m_csName;
    CNAConvertVariant* m_pclValue;  // one reference
};
