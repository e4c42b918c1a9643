// vuz-cli: the process around RunCli.
#include "app/cli/Cli.h"
#include "app/cli/Console.h"
#include "app/cli/Interrupt.h"

#include <iostream>
#include <string>
#include <vector>

int main(int argc, char* argv[]) {
    cli::TInterrupt interrupt;
    int code = 0;
    {
        const cli::TConsole console(interrupt);
        const std::vector<std::string> args(argv + 1, argv + argc);
        cli::TCliContext context;
        context.Interrupt = &interrupt;
        code = cli::RunCli(args, std::cout, std::cerr, context);
        std::cout.flush();
    }
    return code;
}
