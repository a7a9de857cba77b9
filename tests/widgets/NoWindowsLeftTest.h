#pragma once

#include <QApplication>

#include <gtest/gtest.h>

// A widget test that leaves no top-level window behind.
class NoWindowsLeftTest : public ::testing::Test
{
protected:
    void TearDown() override
    {
        QApplication::processEvents();
        EXPECT_TRUE(QApplication::topLevelWidgets().isEmpty());
    }
};
