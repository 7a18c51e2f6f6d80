// Writes the C header that declares the constant int array of opcodes.
// The text is built in memory; the caller hands it to its file in blocks.
#pragma once

#include <string>
#include <string_view>

// "const int NAME[] = {", where NAME is `array_name` up to its first point.
void write_array_head(std::string& output, std::string_view array_name);

// One element line: two tabs, "0x", `element_text` verbatim and a comma.
void write_array_element(std::string& output, std::string_view element_text);

// The closing line of the declaration.
void write_array_tail(std::string& output);
