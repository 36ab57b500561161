// A GoogleTest fixture with the simulated camera board on COM9 and `owner`
// registered as the process's port owner for the length of a test.
#pragma once

#include <gtest/gtest.h>

#include "FakePortOwner.h"
#include "serial/PortDevices.h"
#include "tools/camsim/PseudoTerminal.h"

template <typename Owner = FakePortOwner>
class BoardTest : public ::testing::Test {
protected:
    static constexpr int kPort = 9;

    void SetUp() override {
        ASSERT_TRUE(board.Open());
        SetPortDevicePath(kPort, board.DevicePath());
        SetPortOwner(&owner);
    }
    void TearDown() override {
        SetPortOwner(nullptr);
        owner.ClosePort();
        SetPortDevicePath(kPort, "");
    }

    camsim::PseudoTerminal board;
    Owner owner;
};
