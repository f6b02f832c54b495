// Holds the driver mutex for a scope: taken at construction, released on
// every way out, also when an exception passes.
#pragma once

#include <pthread.h>

class CNADriverLock {
public:
    CNADriverLock();
    ~CNADriverLock();
    CNADriverLock(const CNADriverLock&) = delete;
    CNADriverLock& operator=(const CNADriverLock&) = delete;
};
