#include "access/driver/Interf.h"

CInterf::~CInterf() {}

int CInterf::_NotToBeCalled() const
{
    return 0;
}

unsigned int CInterf::nRelease()
{
    if (m_nRefCount == 0)
        return 0;
    if (--m_nRefCount == 0 && m_bNoDelete == 0) {
        delete this;
        return 0;
    }
    return m_nRefCount;
}
