// The skinned widgets' suites share one application object.
#include <QApplication>

int runSkinListTests(int argc, char** argv);
int runSkinComboTests(int argc, char** argv);
int runSkinSliderTests(int argc, char** argv);
int runColourStaticTests(int argc, char** argv);
int runSkinMenuTests(int argc, char** argv);
int runSkinLookTests(int argc, char** argv);

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    int failures = 0;
    for (const auto run : {runSkinListTests, runSkinComboTests, runSkinSliderTests,
                           runColourStaticTests, runSkinMenuTests, runSkinLookTests}) {
        failures += run(argc, argv);
    }
    return failures == 0 ? 0 : 1;
}
