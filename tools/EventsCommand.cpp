#include "Command.h"
#include "Components.h"
#include "DocumentInput.h"
#include "EventPrinter.h"
#include "FailureReport.h"
#include "host/Arguments.h"

#include <cerrno>
#include <cstdio>
#include <string>

namespace Ostrel {

namespace {

// The parser tells its client why a parse failed; the call itself says nothing more.
std::string Reason(const EventPrinter& printer, const LateBound& parser, const char* operand) {
    if (!printer.Error().empty()) {
        return printer.Error();
    }
    return parser.Failure().empty() ? std::string("Failed to parse ") + operand : parser.Failure();
}

int RunEvents(const char* const* operands) {
    DocumentInput input;
    LateBound parser;
    if (!input.Open(operands[0]) || !CreateRegistered(kParserProgId, parser)) {
        return kExitFailure;
    }
    EventPrinter printer(stdout);
    const bool parsed =
        parser.Do("ParseStream", {ObjectArgument(&input.Source()), ObjectArgument(&printer)});
    if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
        return ReportSystemFailure("Failed to write to standard output", errno);
    }
    if (!parsed && !input.ReportReadFailure()) {
        return ReportFailure(Reason(printer, parser, operands[0]));
    }
    return parsed ? kExitSuccess : kExitFailure;
}

} // namespace

extern const Command kEventsCommand = {
    "events",
    "FILE|-",
    1,
    1,
    true,
    "print the streaming parser's events for an XML document, one per line",
    "Parses the XML document FILE, or standard input for -, with a\n"
    "\"Corvantis.StreamingXMLParser\" (ParseStream) and prints every event its client receives:\n"
    "  start-document, end-document\n"
    "  start NAME a=\"1\" b=\"2\"     a start tag, its attributes sorted by name\n"
    "  end NAME\n"
    "  text \"...\"                 a piece of character data, as the parser cuts it\n"
    "  comment \"...\"\n"
    "  doctype NAME               a document type declaration\n"
    "  error MESSAGE              the document is not well-formed or cannot be read\n"
    "Quoted texts show the quote, the backslash and control characters as \\\", \\\\, \\n, \\r,\n"
    "\\t and \\xHH. A document with an error still prints the events up to it and exits 1.\n",
    RunEvents,
};

} // namespace Ostrel
