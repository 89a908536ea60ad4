#pragma once

#include <cstdio>

// The command-line tool: `info`, `convert` and `apply`. Output goes to out, messages to err; the result is the
// process exit code (0 success, 1 failure, 2 wrong usage).
int LvCliMain(int argc, char** argv, FILE* out, FILE* err);
