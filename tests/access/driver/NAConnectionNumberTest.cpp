#include "access/driver/NAConnectionDescription.h"
#include "tests/support/ClosedConnection.h"

#include <gtest/gtest.h>

// The only test of its program: the connections it makes are the first of
// the process.
TEST(NAConnectionNumber, FirstConnectionsOfTheProcessAreOneThenTwo)
{
    EXPECT_EQ(CNAConnectionDescription::m_gnCnxGenerator, 0u);
    CClosedConnection cnx1;
    CClosedConnection cnx2;
    EXPECT_EQ(cnx1.nGetNumber(), 1u);
    EXPECT_EQ(cnx2.nGetNumber(), 2u);
    EXPECT_EQ(CNAConnectionDescription::m_nClientVersionMajor, -1);
}
