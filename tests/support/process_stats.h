// What /proc tells of a running process, for tests that print or bound what a
// server spends.
#pragma once

#include <cstdint>

namespace test_support {

// The process's peak resident set size (VmHWM) in bytes; 0 when unknown.
std::uint64_t peak_resident_bytes(int pid);

// The processor time that the process has used so far, user and system, in
// seconds; a negative value when unknown.
double cpu_seconds(int pid);

}  // namespace test_support
