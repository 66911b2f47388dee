// olvo: the desktop program. Its command line is one optional file name: a ".split" file goes to
// the Restore tab, any other file to the Split tab; --split and --restore choose the tab, and
// --help and --version answer without a display. See HelpText().

#include <QApplication>
#include <clocale>
#include <cstdio>
#include <string>
#include <vector>

#include "gui/Application.h"

int main(int argc, char** argv) {
    if (const auto code =
            olvo::AnswerWithoutDisplay({argv + (argc > 0 ? 1 : 0), argv + argc}, stdout))
        return *code;
    std::optional<olvo::NoDisplayGuard> guard(std::in_place);
    QApplication application(argc, argv);
    guard.reset();
    // Qt has set the locale from the environment; the number and date texts follow it.
    std::setlocale(LC_ALL, "");
    // Qt has taken its own options out of argv by now.
    const olvo::CommandLine line = olvo::ParseCommandLine({argv + (argc > 0 ? 1 : 0), argv + argc});
    switch (line.action) {
        case olvo::CommandLine::Action::Help:
            std::fputs(olvo::HelpText().c_str(), stdout);
            return 0;
        case olvo::CommandLine::Action::Version:
            std::fputs(olvo::VersionText().c_str(), stdout);
            return 0;
        case olvo::CommandLine::Action::UsageError:
            std::fprintf(stderr, "olvo: %s\nTry 'olvo --help'.\n", line.error.c_str());
            return 2;
        case olvo::CommandLine::Action::Run:
            break;
    }
    return olvo::RunProgram(line.windowArguments);
}
