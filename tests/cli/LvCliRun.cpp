#include "LvCliRun.h"

#include "cli/LvCli.h"

#include <cstdio>

namespace {

std::string ReadAll(FILE* file) {
    std::string text;
    rewind(file);
    char buffer[4096];
    size_t n;
    while ((n = fread(buffer, 1, sizeof(buffer), file)) > 0)
        text.append(buffer, n);
    fclose(file);
    return text;
}

} // namespace

CliResult RunCli(std::vector<std::string> args) {
    args.insert(args.begin(), "lumivue-cli");
    std::vector<char*> argv;
    for (std::string& a : args)
        argv.push_back(&a[0]);
    FILE* out = tmpfile();
    FILE* err = tmpfile();
    CliResult result;
    result.code = LvCliMain(int(argv.size()), argv.data(), out, err);
    result.out = ReadAll(out);
    result.err = ReadAll(err);
    return result;
}
