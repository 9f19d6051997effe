// Reading a gzip stream back, to check what the server compressed.
#pragma once

#include <string>

namespace test_support {

// The bytes a gzip stream holds; fails the current test when it is not one.
std::string gunzip(const std::string& compressed);

}  // namespace test_support
