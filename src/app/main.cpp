// velkan: the keyboard's configuration program.
//
//   velkan [/Start] [/Kill] [--simulate[=126|128]] [--screenshot FILE]
#include "app/velkan_app.h"

int main(int argc, char** argv) {
    return velkan::app::CVelkanApp().run(argc, argv);
}
