// The driver's own copy of one GROUP BY entry of a host parse, offered
// through the host's IInfoGroupe: the digest keeps it after the parse's own
// entries are gone.
#pragma once

#include "access/sql/ISQLParserInformation.h"
#include "common/text/Tstring.h"

class CInfoGroupe : public IInfoGroupe {
public:
    // A copy of the host's entry (count 0), its fields read in slot order.
    explicit CInfoGroupe(IInfoGroupe* piSource);
    CInfoGroupe(const CInfoGroupe&) = delete;
    CInfoGroupe& operator=(const CInfoGroupe&) = delete;

    // ---- IInfoGroupe, in slot order -----------------------------------------
    const wchar_t* pszGetAlias() override { return m_csAlias.pszGet(); }
    int bIsAvecTable() override { return m_bAvecTable; }
    const wchar_t* pszGetNomTable() override { return m_csNomTable.pszGet(); }
    const wchar_t* pszGetNomRubrique() override { return m_csNomRubrique.pszGet(); }
    tagRECT stGetPosition() override { return m_stPosition; }
    const wchar_t* pszGetNomFichier() override { return m_csNomFichier.pszGet(); }
    const wchar_t* pszGetNomRubriqueAlias() override { return m_csNomRubriqueAlias.pszGet(); }
    // Then the two destructors.
    virtual ~CInfoGroupe();

private:
    CTString m_csAlias;
    int m_bAvecTable;
    CTString m_csNomTable;
    CTString m_csNomRubrique;
    tagRECT m_stPosition;
    CTString m_csNomFichier;
    CTString m_csNomRubriqueAlias;
};

// Held in containers: the count goes up and down; the last release deletes.
template <>
struct CRefTraits<CInfoGroupe> {
    static void AddRef(CInfoGroupe* p) { p->m_nRefCount++; }
    static void Release(CInfoGroupe* p)
    {
        if (p->m_nRefCount > 0 && --p->m_nRefCount == 0)
            delete p;
    }
};

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Winvalid-offsetof"
static_assert(sizeof(void*) != 4 || (offsetof(CInfoGroupe, m_nRefCount) == 4 && sizeof(CInfoGroupe) == 48),
              "CInfoGroupe: table, count, alias, flag, table, item, position, file and item alias");
#pragma GCC diagnostic pop
