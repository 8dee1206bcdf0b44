// Test entry point: every test process gets its own HOME and XDG folders.
#include "support/isolated_user_folders.h"

#include <gtest/gtest.h>

int main(int argc, char** argv) {
    const velkan::test::IsolatedUserFolders folders;
    if (!folders.ready()) {
        return 2;
    }
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
