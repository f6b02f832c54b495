// One item of the current record: the host's item description, the one
// read from the database, the record buffer where its values live and the
// value cell that carries its value to and from the server.
#pragma once

#include "access/driver/Interf.h"
#include "common/text/Tableau.h"
#include "common/text/Tstring.h"

class CNAConvertVariant;
class CNAError;
class CNAItemDescription;
class CNARecord;
class INAItemDescription;

class CNAColumn : public CInterf {
public:
    CNAColumn();
    ~CNAColumn() override;

    // The value is to be fetched later: the cell is NULL and not read yet, a
    // memo forgets its attached file and its modified mark, and the item is
    // marked defined in the current record buffer.
    void SetValueIsUnreadYet();

protected:
    INAItemDescription* m_piItem;            // one external reference
    CNAItemDescription* m_pclImportedItem;   // read from the database; one external reference
    CNAError* m_pclError;                    // one reference
    CTString m_csFormatedName;               // quoted for SQL
    CNARecord* m_pclRecord;                  // the owning record, no reference
    CNARefArray<CNAColumn>* m_ptabComponent; // components of a composite key
    CTString m_csAliasTableName;
    CTString m_csFormatedAliasTableName;
    CTString m_csFormatedOriginalName;
    CTString m_csFormatedSelectName;
    CNAConvertVariant* m_pclValue; // one reference
    unsigned int m_bMemoModified;  // set or attached since the last read
    CTString m_csMemoFile;         // attached by bHAttacheMemo
};
