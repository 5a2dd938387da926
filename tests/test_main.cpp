#include <gtest/gtest.h>

#include "testing/RunTests.h"

int main(int argc, char* argv[])
{
    testing::InitGoogleTest(&argc, argv);
    return kalvo::test::RunTestsRequiringOne();
}
