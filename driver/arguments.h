// Command-line parsing into run_settings, and the usage text.
#pragma once

bool parse_arguments(int argc, char** argv);

// "--help" (the usage text) or "--version" (the version text) as the first argument: prints it
// and returns true; the run then ends at once with exit code 0, before its banner. False for
// every other command line.
bool print_requested_information(int argc, char** argv);
void print_help();
