#include "access/driver/NaDriver.h"

// Exported for the host to read; set by the client-call guard, never cleared.
int CNADriver::s_bGPFCatched = 0;
