// The pravell command-line tool: a host of the system's automation objects that loads, prints,
// converts and streams XML documents, and registers the library that serves them. Exit status 0 on
// success, 1 when the operation fails (the reason on standard error), 2 when the command line is
// not understood.
#include "Command.h"

#include <cstdio>
#include <cstring>
#include <exception>
#include <new>

namespace Ostrel {

namespace {

// No command takes more operands than this.
constexpr int kMostOperands = 2;

// NOLINTNEXTLINE(cppcoreguidelines-interfaces-global-init): addresses, not values, are taken.
const Command* const kCommands[] = {&kRegisterCommand, &kUnregisterCommand, &kFormatCommand,
                                    &kCompressCommand, &kExpandCommand,     &kEventsCommand,
                                    &kGetCommand,      &kDemoCommand};

const Command* FindCommand(const char* name) {
    for (const Command* command : kCommands) {
        if (std::strcmp(command->name, name) == 0) {
            return command;
        }
    }
    return nullptr;
}

bool IsHelpOption(const char* argument) {
    return std::strcmp(argument, "--help") == 0 || std::strcmp(argument, "-h") == 0;
}

void PrintUsageLine(const Command& command, FILE* stream) {
    std::fprintf(stream, "Usage: pravell %s%s%s\n", command.name, *command.operands ? " " : "",
                 command.operands);
}

void PrintVersion(FILE* stream) { std::fputs("pravell " PRAVELL_VERSION "\n", stream); }

void PrintOverview(FILE* stream) {
    PrintVersion(stream);
    std::fputs(
        "Usage: pravell COMMAND [OPERANDS]\n"
        "\n"
        "Loads, prints, converts and streams XML documents with the Pravell objects\n"
        "\"Corvantis.XMLModel\" and \"Corvantis.StreamingXMLParser\", which `pravell register`\n"
        "makes known in the registry (PRAVELL_REGISTRY names its file).\n"
        "\n"
        "Commands:\n",
        stream);
    for (const Command* command : kCommands) {
        char synopsis[40];
        std::snprintf(synopsis, sizeof synopsis, "%s %s", command->name, command->operands);
        std::fprintf(stream, "  %-22s%s\n", synopsis, command->summary);
    }
    std::fputs("  help [COMMAND]        show this text or the details of one command\n"
               "  --version             print the version\n"
               "\n"
               "Exit status: 0 on success, 1 when the operation fails, 2 on a usage error.\n",
               stream);
}

void PrintCommandHelp(const Command& command) {
    PrintUsageLine(command, stdout);
    std::printf("\n%s", command.details);
}

// Says what was wrong with the command line and where help is.
int UsageError(const char* message, const char* subject, const Command* command) {
    std::fprintf(stderr, "pravell: %s%s\n", message, subject);
    if (command != nullptr) {
        PrintUsageLine(*command, stderr);
    }
    std::fprintf(stderr, "Try 'pravell help%s%s'.\n", command != nullptr ? " " : "",
                 command != nullptr ? command->name : "");
    return kExitUsage;
}

int RunHelp(int count, char** arguments) {
    if (count > 1) {
        return UsageError("help takes at most one command", "", nullptr);
    }
    if (count == 0 || IsHelpOption(arguments[0])) {
        PrintOverview(stdout);
        return kExitSuccess;
    }
    const Command* command = FindCommand(arguments[0]);
    if (command == nullptr) {
        return UsageError("unknown command: ", arguments[0], nullptr);
    }
    PrintCommandHelp(*command);
    return kExitSuccess;
}

// Options come before "--"; after it every argument is an operand, so that a file whose name
// starts with a dash can still be named.
int RunCommand(const Command& command, int count, char** arguments) {
    const char* operands[kMostOperands] = {};
    int found = 0;
    bool optionsEnded = false;
    for (int i = 0; i < count; ++i) {
        const char* argument = arguments[i];
        if (!optionsEnded && IsHelpOption(argument)) {
            PrintCommandHelp(command);
            return kExitSuccess;
        }
        if (!optionsEnded && std::strcmp(argument, "--") == 0) {
            optionsEnded = true;
        } else if (!optionsEnded && argument[0] == '-' && argument[1] != 0) {
            return UsageError("unknown option: ", argument, &command);
        } else if (std::strcmp(argument, "-") == 0 && !command.readsStandardInput) {
            return UsageError("standard input and output ('-') are not supported by ", command.name,
                              &command);
        } else if (found < command.mostOperands && found < kMostOperands) {
            operands[found++] = argument;
        } else {
            return UsageError("too many operands for ", command.name, &command);
        }
    }
    if (found < command.fewestOperands) {
        return UsageError("missing operands for ", command.name, &command);
    }
    return command.run(operands);
}

int Dispatch(int argc, char** argv) {
    if (argc < 2) {
        PrintOverview(stderr);
        return kExitUsage;
    }
    const char* name = argv[1];
    if (IsHelpOption(name)) {
        PrintOverview(stdout);
        return kExitSuccess;
    }
    if (std::strcmp(name, "--version") == 0) {
        PrintVersion(stdout);
        return kExitSuccess;
    }
    if (std::strcmp(name, "help") == 0) {
        return RunHelp(argc - 2, argv + 2);
    }
    const Command* command = FindCommand(name);
    if (command == nullptr) {
        return UsageError("unknown command: ", name, nullptr);
    }
    return RunCommand(*command, argc - 2, argv + 2);
}

} // namespace

} // namespace Ostrel

int main(int argc, char** argv) {
    // The system reports running out of memory by exceptions; none may end the tool unexplained.
    try {
        return Ostrel::Dispatch(argc, argv);
    } catch (const std::bad_alloc&) {
        std::fputs("pravell: out of memory\n", stderr);
    } catch (const std::exception& failure) {
        std::fprintf(stderr, "pravell: %s\n", failure.what());
    }
    return Ostrel::kExitFailure;
}
