#pragma once

#include "TestServer.h"

#include <gtest/gtest.h>

namespace lanvera::test {

// Base fixture of the tests that need the server: every test starts from a fresh `quor`, no
// chart database and the programs' account as `lanvera-server init` leaves them.
class ServerTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(TestServer::available()) << TestServer::unavailableReason().toStdString();
        QString error;
        ASSERT_TRUE(resetServer(&error)) << error.toStdString();
    }
};

} // namespace lanvera::test
