// Writes the default skin: every picture the windows load and every skin INI file.
//
//   make_skin <output folder>
#include "skin_writer.h"

#include <QByteArray>
#include <QGuiApplication>
#include <cstdio>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_skin <output folder>\n");
        return 2;
    }
    // The build runs this without a display.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", QByteArrayLiteral("offscreen"));
    }
    const QGuiApplication application(argc, argv);
    return velkan::skingen::writeSkin(argv[1]) ? 0 : 1;
}
