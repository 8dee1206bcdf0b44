// main() of a Qt Test suite of the program's windows: its own HOME and XDG folders and an
// application object. The suites run from the build's program folder, where the skin, the
// language file and the icons are.
#pragma once

#include "support/isolated_user_folders.h"

#include <QApplication>
#include <QTest>

#define VELKAN_APP_TEST_MAIN(TestObject)                                                           \
    int main(int argc, char** argv) {                                                              \
        const velkan::test::IsolatedUserFolders folders;                                           \
        if (!folders.ready()) {                                                                    \
            return 2;                                                                              \
        }                                                                                          \
        QApplication application(argc, argv);                                                      \
        TestObject test;                                                                           \
        return QTest::qExec(&test, argc, argv);                                                    \
    }
