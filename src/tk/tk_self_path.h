#pragma once

#include <string>

// The program's own executable path (empty when the system cannot tell).
std::string tk_self_path();
