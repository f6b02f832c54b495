#include "access/driver/NADriverLock.h"

#include "access/driver/NaDriver.h"

CNADriverLock::CNADriverLock()
{
    pthread_mutex_lock(&CNADriver::m_gstDriverCriticalSection);
}

CNADriverLock::~CNADriverLock()
{
    pthread_mutex_unlock(&CNADriver::m_gstDriverCriticalSection);
}
