// A connection of no back end: it never opens. Base of the test connections
// that need only the generic part.
#pragma once

#include "access/driver/NAConnectionDescription.h"

class CClosedConnection : public CNAConnectionDescription {
public:
    int bOpen(CNAError*) override { return 0; }
    int bIsOpen() override { return 0; }
    int bClose(CNAError*) override { return 1; }
};
