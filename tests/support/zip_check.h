// Checks a zip against the folder it should hold, with Python's zipfile and
// with `unzip -t`: the same names, bytes and CRC-32s, UTF-8 names flagged, each
// modification time as the extended timestamp (to the second) and as the DOS
// time (UTC, to two seconds, from 1980 on).
#pragma once

#include <string>

namespace test_support {

// Empty when `zip` holds exactly the files under `folder`; else what differs.
// `unzip -t` runs too, unless `with_unzip` is false.
std::string zip_differences(const std::string& zip, const std::string& folder, bool with_unzip = true);

}  // namespace test_support
