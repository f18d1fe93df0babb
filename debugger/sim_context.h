// "When and where am I": simulation time, delta count and running process,
// read at a stop from the SystemC kernel's context. libsystemc carries no
// debug information, so its global is cast to the type the headers declare.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace korl {

class Korl_GdbSession;

// The expressions, in the order ReadSimContext asks them.
const std::vector<std::string>& SimContextExpressions();

// Time in femtoseconds with the largest unit that shows it exactly
// ("10 ns", "1500 ps", "0 s").
std::string FormatSimTime(std::uint64_t femtoseconds);

// "10 ns, delta 3, prod.tick"; the process part is left out when empty.
std::string FormatSimContext(std::uint64_t timeValue, std::uint64_t resolutionFs, std::uint64_t delta,
                             const std::string& process);

// From the four answers (value texts, nullopt where gdb refused): the text,
// or empty when the program is no SystemC simulation.
std::string SimContextText(const std::vector<std::optional<std::string>>& answers);

// Asks the session at a stop; `done` gets the text (empty when unreadable).
void ReadSimContext(Korl_GdbSession& session, std::function<void(const std::string&)> done);

} // namespace korl
