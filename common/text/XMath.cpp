#include "common/text/XMath.h"

bool CXMath::bEstPremier(unsigned n)
{
    if (n == 2)
        return true;
    if (n % 2 == 0)
        return false;
    if (n < 9)
        return true;
    if (n % 3 == 0)
        return false;
    for (unsigned d = 5;; d += 2) {
        unsigned q = n / d;
        if (q < d)
            return true;
        if (q * d == n)
            return false;
    }
}
