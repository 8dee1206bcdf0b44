// velkan: the keyboard's configuration program.
//
//   velkan [/Start] [/Kill] [--simulate[=126|128]] [--screenshot FILE]
#include "app/application.h"

int main(int argc, char** argv) {
    return velkan::app::Application().run(argc, argv);
}
