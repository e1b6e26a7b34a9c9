// One row of the table that bench/run prints: every benchmark program writes its figures as lines
//   TABLE<TAB>figure<TAB>value<TAB>baseline<TAB>ratio<TAB>target<TAB>verdict
// besides its own readable output.
#pragma once

#include <cstdio>
#include <string>

namespace velorin::bench {

inline std::string fmt(const char* format, double value) {
    char buf[64];
    std::snprintf(buf, sizeof buf, format, value);
    return buf;
}

// `verdict`: "met", "MISSED" or "-" (no target for this figure).
inline void tableRow(const std::string& figure, const std::string& value, const std::string& baseline,
                     const std::string& ratio, const std::string& target, const std::string& verdict) {
    std::printf("TABLE\t%s\t%s\t%s\t%s\t%s\t%s\n", figure.c_str(), value.c_str(), baseline.c_str(),
                ratio.c_str(), target.c_str(), verdict.c_str());
    std::fflush(stdout);
}

inline const char* verdict(bool met) {
    return met ? "met" : "MISSED";
}

} // namespace velorin::bench
