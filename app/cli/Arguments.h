// The command line: one command, its options, and the options every command takes.
#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <vector>

namespace cli {

enum class TCommand { None, List, Program, Watch };

struct TArguments {
    TCommand Command = TCommand::None;
    bool Help = false;
    bool Version = false;
    bool Simulated = false;
    bool Json = false;
    std::optional<std::string> Serial;
    // The device path as list prints it: picks one of several adapters with the same serial.
    std::optional<std::string> Path;
    // How long program waits for the adapter, and the text the user gave for it.
    std::chrono::milliseconds Wait{0};
    std::string WaitText = "0";
};

struct TParsed {
    std::optional<TArguments> Arguments;
    // Why the command line is not understood, when it is not.
    std::string Error;
};

TParsed ParseArguments(const std::vector<std::string>& args);

// The help text.
std::string Usage();

} // namespace cli
