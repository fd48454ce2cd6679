#include "AmbienteTest.h"

#include <QCoreApplication>

#include <gtest/gtest.h>

// Every test process gets a Qt application (the SQL drivers are plug-ins) and private folders.
int main(int argc, char **argv)
{
    QTemporaryDir home;
    lanvera::test::preparaAmbiente(home);
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
