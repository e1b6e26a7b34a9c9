// The command line of velorin-sim and velorin-gadget: read one option at a time, with the options
// of the firmware they both play taken in one place.
#pragma once

#include <string>

namespace velorin::sim {

// The firmware's options, the same in both programs: --flash FILE, --seed FILE.kvf,
// --script FILE, --demo [RATE], --rate RATE, --ignore-interrupt-out.
struct FirmwareOptions {
    std::string flash;
    std::string seed;
    std::string script;
    double rate = 10.0; // pad states per second for --demo and --script
    bool demo = false;
    // The firmware drops every report that arrives on the interrupt OUT endpoint (it still takes
    // the transfer, so the writer sees success).
    bool ignoreInterruptOut = false;
};

// A missing or bad value, or an unknown option, ends the program with status 2 and a message
// that names it; --help and -h print `usage` and end it with status 0.
class CommandLine {
public:
    CommandLine(const char* program, const char* usage, int argc, char** argv, int first = 1);

    // Moves to the next option that is not one of the firmware's, taking those into `firmware` on
    // the way; false after the last.
    bool next(FirmwareOptions& firmware);
    const std::string& option() const { return option_; }
    // The word after the option.
    std::string value();
    [[noreturn]] void unknownOption() const;
    // Ends the program with status 2 and the message.
    [[noreturn]] void fail(const std::string& message) const { exitWith(2, message); }
    [[noreturn]] void exitWith(int status, const std::string& message) const;

private:
    bool takeFirmwareOption(FirmwareOptions& options);

    const char* program_;
    const char* usage_;
    int argc_;
    char** argv_;
    int at_;
    std::string option_;
};

} // namespace velorin::sim
