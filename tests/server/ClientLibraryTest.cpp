// The road the driver takes to the server: the client library opened at run
// time by name from a 32-bit process, a connection, a query and its row.
#include "tests/support/ClientLibrary.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

TEST(ClientLibrary, OpensByNameConnectsAndSelectsOne)
{
    static_assert(sizeof(void*) == 4, "the tests run as a 32-bit process");
    CClientLibrary client;
    std::string strError;
    ASSERT_TRUE(client.bConnect(false, strError)) << strError;

    std::vector<std::string> tabRows;
    ASSERT_TRUE(client.bList("SELECT 1", tabRows, strError)) << strError;
    EXPECT_EQ(tabRows, std::vector<std::string>{"1"});
}
