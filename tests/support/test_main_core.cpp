// Test entry point for the core: a QCoreApplication around GoogleTest, so
// nothing can reach for a display or a platform plugin (one that counts its
// translators' changes, as the programs' do).
#include "uilanguage.h"

#include <QCoreApplication>
#include <gtest/gtest.h>

int main(int argc, char **argv)
{
    LanguageCountingApplication<QCoreApplication> app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
