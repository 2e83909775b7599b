// Command-line parsing into run_settings, and the usage text.
#pragma once

bool parse_arguments(int argc, char** argv);
void print_help();
