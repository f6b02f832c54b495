#include "tests/support/TestHost.h"

#include <gmock/gmock.h>

int main(int argc, char** argv)
{
    testing::InitGoogleMock(&argc, argv);
    TestHost();
    return RUN_ALL_TESTS();
}
