#include "access/statement/NARecordMemo.h"

bool CNARecordMemo::bShare(int i, CNAConvertVariant* pclCell)
{
    if (i < 0)
        return false;
    while (m_tabValue.nGetNbElement() <= i)
        m_tabValue.Ajoute(nullptr);
    return m_tabValue.SetAt(pclCell, i) != 0;
}
