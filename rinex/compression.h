// How the RINEX files of a run are compressed: gzip, the compact form of observation files
// (Compact RINEX 3.0), or both; and the names they then take.
#pragma once

#include <string>

#include "output/output_file.h"

enum class RinexCompression { none, gzip, compact, compact_gzip };

// The file's own compression: gzip under gzip and compact_gzip.
Compression file_compression(RinexCompression kind);
// An observation file in the compact form: under compact and compact_gzip.
bool compact_observations(RinexCompression kind);
// The name of a file written under `kind` from its plain name (ending in ".rnx"): a compact
// observation file ends in ".crx" instead, and a gzipped file of either kind gets ".gz" appended.
std::string compressed_file_name(const std::string& plain_name, RinexCompression kind, bool observation);
