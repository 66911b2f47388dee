// olvo: the desktop program. Its command line is one optional file name: a ".split" file goes to
// the Restore tab, any other file to the Split tab; further arguments are ignored.

#include <QApplication>
#include <clocale>
#include <string>
#include <vector>

#include "ui/Application.h"

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    // Qt has set the locale from the environment; the number and date texts follow it.
    std::setlocale(LC_ALL, "");
    std::vector<std::string> arguments(argv + (argc > 0 ? 1 : 0), argv + argc);
    return olvo::RunProgram(arguments);
}
