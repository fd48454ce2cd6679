#include "AmbienteTest.h"

#include <QApplication>

#include <gtest/gtest.h>

// The main of the tests that build widgets (run under the offscreen platform).
int main(int argc, char **argv)
{
    QTemporaryDir home;
    lanvera::test::preparaAmbiente(home);
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
