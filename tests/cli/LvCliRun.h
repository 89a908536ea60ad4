#pragma once

#include <string>
#include <vector>

// What the command-line tool did with a command line: its exit code and what it wrote.
struct CliResult {
    int code;
    std::string out;
    std::string err;
};

// Runs the tool on the words (without the program's name) in this process.
CliResult RunCli(std::vector<std::string> args);
