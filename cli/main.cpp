#include "cli/LvCli.h"

int main(int argc, char** argv) {
    return LvCliMain(argc, argv, stdout, stderr);
}
