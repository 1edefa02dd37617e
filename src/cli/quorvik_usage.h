#pragma once

#include <string>

inline constexpr int quorvik_version_major = 2;
inline constexpr int quorvik_version_minor = 3;

// The usage text, ending with a line break.
std::string quorvik_usage();
