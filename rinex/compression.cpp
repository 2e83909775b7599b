#include "rinex/compression.h"

namespace {

constexpr const char* kPlainExtension = ".rnx";
constexpr const char* kCompactExtension = ".crx";
constexpr const char* kGzipExtension = ".gz";

}  // namespace

Compression file_compression(RinexCompression kind) {
    return kind == RinexCompression::gzip || kind == RinexCompression::compact_gzip ? Compression::gzip
                                                                                    : Compression::none;
}

bool compact_observations(RinexCompression kind) {
    return kind == RinexCompression::compact || kind == RinexCompression::compact_gzip;
}

std::string compressed_file_name(const std::string& plain_name, RinexCompression kind, bool observation) {
    std::string name = plain_name;
    const std::string plain = kPlainExtension;
    if (observation && compact_observations(kind) && name.size() >= plain.size() &&
        name.compare(name.size() - plain.size(), plain.size(), plain) == 0)
        name.replace(name.size() - plain.size(), plain.size(), kCompactExtension);
    if (file_compression(kind) == Compression::gzip)
        name += kGzipExtension;
    return name;
}
