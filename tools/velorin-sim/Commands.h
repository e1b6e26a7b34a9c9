// The control lines velorin-sim reads on standard input (see docs/velorin-sim.md): one row of the
// table in Commands.cpp per command. Every command answers exactly one final line.
#pragma once

#include <cstddef>
#include <span>
#include <string>
#include <vector>

namespace velorin::sim {

class Simulator;

// The longest control line; longer ones are answered "err line too long" unread.
inline constexpr std::size_t kMaxLine = 4096;
// Words after the command name beyond this many are dropped.
inline constexpr std::size_t kMaxArgs = 64;

struct Command;

// One command being run: the simulator, its row and the words after its name.
struct Call {
    Simulator& sim;
    const Command& command;
    const std::vector<std::string>& args;
    // "err usage: " and the row's usage text.
    std::string usage() const;
};

struct Command {
    const char* name;
    // Answered as "err usage: USAGE" when the number of arguments is out of bounds.
    const char* usage;
    std::size_t minArgs;
    std::size_t maxArgs;
    // Does the work and returns the final answer ("ok ...", "pong ..." or "err ..."); lines that
    // come before it are said on the way.
    std::string (*handler)(const Call& call);
};

std::span<const Command> commands();

// Runs one control line against `sim`, answering on its output. A trailing CR is dropped; empty
// lines and `#` comments are not answered.
void runControlLine(Simulator& sim, const std::string& line);

} // namespace velorin::sim
