#include "debugger/sim_context.h"

#include "debugger/gdb_session.h"
#include "debugger/mi_text.h"

#include <memory>

namespace korl {

namespace {

const char* const kContext = "(*(sc_core::sc_simcontext**)&'sc_core::sc_curr_simcontext')";

// A printed char pointer or string: 0x55... "prod.tick" or "prod.tick".
std::string ProcessName(const std::string& value) {
    // a std::string prints as "prod.tick" (values arrive with escapes decoded)
    std::size_t open = value.find('"');
    std::size_t close = value.rfind('"');
    if (open == std::string::npos || close <= open) return {};
    return value.substr(open + 1, close - open - 1);
}

} // namespace

const std::vector<std::string>& SimContextExpressions() {
    static const std::vector<std::string> expressions = {
        std::string(kContext) + "->m_curr_time.m_value",
        std::string(kContext) + "->m_time_params->time_resolution",
        std::string(kContext) + "->m_delta_count",
        std::string(kContext) + "->m_curr_proc_info.process_handle->m_name",
    };
    return expressions;
}

std::string FormatSimTime(std::uint64_t fs) {
    static const char* const units[] = {"fs", "ps", "ns", "us", "ms", "s"};
    if (fs == 0) return "0 s";
    int unit = 0;
    while (unit < 5 && fs % 1000 == 0) {
        fs /= 1000;
        ++unit;
    }
    return std::to_string(fs) + " " + units[unit];
}

std::string FormatSimContext(std::uint64_t timeValue, std::uint64_t resolutionFs, std::uint64_t delta,
                             const std::string& process) {
    std::string time;
    if (resolutionFs != 0 && timeValue > UINT64_MAX / resolutionFs)
        time = std::to_string(timeValue) + " x " + std::to_string(resolutionFs) + " fs";
    else
        time = FormatSimTime(timeValue * resolutionFs);
    std::string text = time + ", delta " + std::to_string(delta);
    if (!process.empty()) text += ", " + process;
    return text;
}

std::string SimContextText(const std::vector<std::optional<std::string>>& answers) {
    if (answers.size() < 3 || !answers[0] || !answers[1] || !answers[2]) return {};
    auto time = ParseUnsigned(*answers[0]);
    auto resolution = ParseUnsigned(*answers[1]);
    auto delta = ParseUnsigned(*answers[2]);
    if (!time || !resolution || !delta) return {};
    std::string process = answers.size() > 3 && answers[3] ? ProcessName(*answers[3]) : std::string();
    return FormatSimContext(*time, *resolution, *delta, process);
}

void ReadSimContext(Korl_GdbSession& session, std::function<void(const std::string&)> done) {
    auto answers = std::make_shared<std::vector<std::optional<std::string>>>();
    const auto& expressions = SimContextExpressions();
    for (std::size_t i = 0; i < expressions.size(); ++i) {
        bool last = i + 1 == expressions.size();
        session.Evaluate(expressions[i], [answers, last, done](const EvalResult& r) {
            answers->push_back(r.ok ? std::optional<std::string>(r.value) : std::nullopt);
            if (last && done) done(SimContextText(*answers));
        });
    }
}

} // namespace korl
