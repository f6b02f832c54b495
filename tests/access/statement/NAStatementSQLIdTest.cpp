// Statement ids count from 1 in a fresh process, whatever the connection.
#include "access/statement/NAStatementSQL.h"

#include <gtest/gtest.h>

namespace {

TEST(NAStatementSQLId, FirstStatementsOfTheProcess)
{
    CNAStatementSQL a(nullptr, nullptr);
    CNAStatementSQL b(nullptr, nullptr);
    EXPECT_EQ(a.nGetStmtID(), 1);
    EXPECT_EQ(b.nGetStmtID(), 2);
}

} // namespace
