// Small arithmetic helpers.
#pragma once

class CXMath {
public:
    // Primality by trial division; used when sizing hash tables. 1 counts
    // as prime there.
    static bool bEstPremier(unsigned n);
};
