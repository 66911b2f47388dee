#pragma once
// Runs a program with arguments, standard input from a text, and collects what it printed.

#include <chrono>
#include <string>
#include <vector>

namespace olvo::test {

struct ProgramResult {
    int exitCode = -1;
    std::string out;
    std::string err;
};

// How long a program may run before it counts as hung: it is killed (with everything it started)
// and the call raises std::runtime_error naming it, so that a hang fails its test within a minute.
inline constexpr std::chrono::seconds kProgramTimeLimit{60};

// Runs path with args; stdin is a pipe holding input (closed after it), so the program sees no
// terminal. extraEnv entries are "NAME=value". The working folder is workDir when not empty.
// Raises when the program has not ended, and closed its output, within timeLimit.
ProgramResult RunProgram(const std::string& path, const std::vector<std::string>& args,
                         const std::string& input = "", const std::string& workDir = "",
                         const std::vector<std::string>& extraEnv = {},
                         std::chrono::seconds timeLimit = kProgramTimeLimit);

}  // namespace olvo::test

namespace olvo::test {

// Runs path with args on a pseudo-terminal. Whenever the output so far ends with prompt, the
// next of answers is typed as it stands (add "\n" for a line; "\x03" is Ctrl-C). Returns
// everything the terminal showed. Raises as RunProgram does when the program outlives timeLimit.
ProgramResult RunInTerminal(const std::string& path, const std::vector<std::string>& args,
                            const std::string& prompt, const std::vector<std::string>& answers,
                            std::chrono::seconds timeLimit = kProgramTimeLimit);

}  // namespace olvo::test
