#pragma once

class talvex_converter;

// Connects the server (direct mode), prepares the destination and runs the conversion on the
// converter's settings. Failures raise tk_exception for the error handler.
void run_conversion(talvex_converter& converter);
