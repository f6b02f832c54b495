#include "common/platform/ZTUnknown.h"

CZTUnknown::~CZTUnknown() {}

unsigned int CZTUnknown::dwRelease()
{
    if (--m_nRefCount == 0) {
        delete this;
        return 0;
    }
    return static_cast<unsigned int>(m_nRefCount);
}
