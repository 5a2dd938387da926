#include <QApplication>

#include <gtest/gtest.h>

#include "testing/RunTests.h"

// The window tests need a QApplication; without a display they run on the offscreen platform.
int main(int argc, char* argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    testing::InitGoogleTest(&argc, argv);
    QApplication application(argc, argv);
    return kalvo::test::RunTestsRequiringOne();
}
