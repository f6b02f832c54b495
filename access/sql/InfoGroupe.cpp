#include "access/sql/InfoGroupe.h"

CInfoGroupe::CInfoGroupe(IInfoGroupe* piSource) : m_bAvecTable(0), m_stPosition{0, 0, 0, 0}
{
    m_csAlias.Set(piSource->pszGetAlias());
    m_bAvecTable = piSource->bIsAvecTable();
    m_csNomTable.Set(piSource->pszGetNomTable());
    m_csNomRubrique.Set(piSource->pszGetNomRubrique());
    m_stPosition = piSource->stGetPosition();
    m_csNomFichier.Set(piSource->pszGetNomFichier());
    m_csNomRubriqueAlias.Set(piSource->pszGetNomRubriqueAlias());
}

CInfoGroupe::~CInfoGroupe() {}
