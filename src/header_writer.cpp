// Writes the C header that declares the constant int array of opcodes.
#include "header_writer.h"

void write_array_head(std::string& output, std::string_view array_name) {
  output += "const int ";
  output += array_name.substr(0, array_name.find('.'));
  output += "[] = {\n";
}

void write_array_element(std::string& output, std::string_view element_text) {
  output += "\t\t0x";
  output += element_text;
  output += ",\n";
}

void write_array_tail(std::string& output) { output += "\t\t};\n"; }
