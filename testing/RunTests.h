#pragma once

#include <cstdio>

#include <gtest/gtest.h>

namespace kalvo::test {

// RUN_ALL_TESTS, failing also when the program ran no test at all (every case filtered out or
// compiled away for this platform): a test program that tests nothing must not pass. Listing the
// cases runs none and is fine.
inline int RunTestsRequiringOne()
{
    const int result = RUN_ALL_TESTS();
    if (result == 0 && !GTEST_FLAG_GET(list_tests) && testing::UnitTest::GetInstance()->test_to_run_count() == 0) {
        std::fprintf(stderr, "No test ran: a test program that runs none fails.\n");
        return 1;
    }
    return result;
}

}  // namespace kalvo::test
