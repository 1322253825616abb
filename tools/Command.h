// A subcommand of the pravell tool: the operands it takes, its help and its body. The dispatch
// in pravell.cpp has checked the operands before `run` is called.
#pragma once

namespace Ostrel {

// What the tool answers the shell.
enum ExitStatus : int {
    kExitSuccess = 0,
    // The operation failed; the reason is on standard error.
    kExitFailure = 1,
    // The command line was not understood; the usage is on standard error.
    kExitUsage = 2,
};

struct Command {
    const char* name;
    // The operands as the usage line shows them, e.g. "IN OUT" or "[LIBRARY]".
    const char* operands;
    int fewestOperands;
    int mostOperands;
    // Whether "-" stands for standard input rather than being refused.
    bool readsStandardInput;
    // One line for the list of commands.
    const char* summary;
    // The paragraph of `pravell help NAME`, lines ending in a line feed.
    const char* details;
    // Gets between fewestOperands and mostOperands operands (the rest are null) and answers
    // the exit status.
    int (*run)(const char* const* operands);
};

extern const Command kRegisterCommand;
extern const Command kUnregisterCommand;
extern const Command kFormatCommand;
extern const Command kCompressCommand;
extern const Command kExpandCommand;
extern const Command kEventsCommand;
extern const Command kGetCommand;
extern const Command kDemoCommand;

} // namespace Ostrel
