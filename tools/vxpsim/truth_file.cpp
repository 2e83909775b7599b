#include "tools/vxpsim/truth_file.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>

// MinGW's C++ library formats with its own C99 printf (%zu included): check the formats against it.
#if defined(__MINGW32__)
#define VXPSIM_PRINTF_FORMAT __MINGW_PRINTF_FORMAT
#else
#define VXPSIM_PRINTF_FORMAT printf
#endif

namespace {
class Json {
  public:
    void raw(const char* text) { out_ += text; }
    void format(const char* fmt, ...) __attribute__((format(VXPSIM_PRINTF_FORMAT, 2, 3))) {
        char buffer[512];
        va_list args;
        va_start(args, fmt);
        const int n = std::vsnprintf(buffer, sizeof buffer, fmt, args);
        va_end(args);
        if (n > 0)
            out_.append(buffer, static_cast<std::size_t>(std::min(n, static_cast<int>(sizeof buffer) - 1)));
    }
    std::string& text() { return out_; }

  private:
    std::string out_;
};

const char* time_fields_name(TimeFields f) {
    return f == TimeFields::shared ? "shared" : f == TimeFields::own ? "own" : "both";
}

const char* imu_data_name(ImuData d) {
    return d == ImuData::delta ? "delta" : d == ImuData::scaled ? "scaled" : "both";
}

void vec(Json& j, const char* name, const Vec3& v) {
    j.format("\"%s\": [%.4f, %.4f, %.4f]", name, v.x, v.y, v.z);
}

void receiver(Json& j, const SimOptions& o, const ReceiverTruth& r) {
    j.format("    {\"index\": %d, \"descriptor_set\": \"0x%02X\", \"trajectory\": \"%s\",\n", r.index,
             r.descriptor_set, trajectory_text(r.trajectory).c_str());
    j.format("     \"clock_bias_s\": %.9g, \"clock_drift\": %.9g,\n", r.clock.bias_s, r.clock.drift);
    j.format(
        "     \"epoch_count\": %zu, \"observations\": %llu, \"packets\": %llu, \"damaged_epochs\": %llu,\n",
        r.epochs.size(), static_cast<unsigned long long>(r.observations),
        static_cast<unsigned long long>(r.packets), static_cast<unsigned long long>(r.damaged_epochs));
    j.format("     \"ephemeris_fields\": {\"gps\": %llu, \"glonass\": %llu, \"galileo\": %llu},\n",
             static_cast<unsigned long long>(r.ephemeris_fields[0]),
             static_cast<unsigned long long>(r.ephemeris_fields[1]),
             static_cast<unsigned long long>(r.ephemeris_fields[2]));
    j.format("     \"distinct_ephemerides\": {\"gps\": %llu, \"glonass\": %llu, \"galileo\": %llu},\n",
             static_cast<unsigned long long>(r.distinct_ephemerides[0]),
             static_cast<unsigned long long>(r.distinct_ephemerides[1]),
             static_cast<unsigned long long>(r.distinct_ephemerides[2]));
    j.raw("     \"glonass_slots\": [");
    for (std::size_t i = 0; i < r.glonass_slots.size(); ++i)
        j.format("%s[%d, %d]", i ? ", " : "", r.glonass_slots[i].first, r.glonass_slots[i].second);
    j.raw("],\n     \"sites\": [");
    for (std::size_t i = 0; i < r.sites.size(); ++i) {
        const SiteTruth& s = r.sites[i];
        j.format("%s{\"from_week\": %d, \"from_tow\": %.3f, \"station_id\": %u, \"antenna_height\": %.4f, ",
                 i ? ", " : "", s.from.week, s.from.tow, s.station_id, s.antenna_height);
        vec(j, "marker", s.marker);
        j.raw(", ");
        vec(j, "antenna", s.antenna);
        j.raw("}");
    }
    j.raw("],\n     \"epochs\": [");
    if (o.truth_epochs) {
        for (std::size_t i = 0; i < r.epochs.size(); ++i) {
            const EpochTruth& e = r.epochs[i];
            j.format(
                "%s\n      {\"week\": %d, \"tow\": %.3f, \"x\": %.4f, \"y\": %.4f, \"z\": %.4f, "
                "\"satellites\": %u, "
                "\"observations\": %u, \"damaged\": %s}",
                i ? "," : "", e.time.week, e.time.tow, e.position.x, e.position.y, e.position.z, e.satellites,
                e.observations, e.damaged ? "true" : "false");
        }
    }
    j.raw("]}");
}
}  // namespace

std::string truth_json(const SimOptions& o, const RunTruth& t) {
    Json j;
    j.raw("{\n");
    j.format("  \"generator\": \"vxpsim\", \"seed\": %llu,\n", static_cast<unsigned long long>(o.seed));
    j.format("  \"start\": {\"week\": %d, \"tow\": %.3f}, \"duration_s\": %.3f, \"leap_seconds\": %d,\n",
             t.start.week, t.start.tow, t.duration_s, static_cast<int>(o.leap_seconds));
    j.format(
        "  \"systems\": \"%s%s%s%s\", \"dual_frequency\": %s, \"obs_rate_hz\": %.6g, \"elevation_mask_deg\": "
        "%.3f,\n",
        o.gps ? "G" : "", o.glonass ? "R" : "", o.galileo ? "E" : "", o.beidou ? "C" : "",
        o.dual_frequency ? "true" : "false", o.obs_rate_hz, o.elevation_mask_deg);
    j.format("  \"noise\": {\"pseudorange_m\": %.6g, \"phase_m\": %.6g, \"doppler_hz\": %.6g},\n",
             o.pseudorange_noise_m, o.phase_noise_m, o.doppler_noise_hz);
    j.raw("  \"receivers\": [\n");
    for (std::size_t i = 0; i < t.receivers.size(); ++i) {
        receiver(j, o, t.receivers[i]);
        j.raw(i + 1 < t.receivers.size() ? ",\n" : "\n");
    }
    j.raw("  ],\n");
    const ImuSummary& m = t.imu;
    j.format(
        "  \"imu\": {\"rate_hz\": %.6g, \"samples\": %llu, \"damaged\": %llu, \"data\": \"%s\", \"time\": "
        "\"%s\",\n",
        m.rate_hz, static_cast<unsigned long long>(m.samples), static_cast<unsigned long long>(m.damaged),
        imu_data_name(o.imu_data), time_fields_name(o.imu_time));
    j.format("          \"first_week\": %d, \"first_tow\": %.6f, \"last_tow\": %.6f,\n", m.first.week,
             m.first.tow, m.last.tow);
    j.format("          \"first_angular\": [%.9g, %.9g, %.9g], \"first_linear\": [%.9g, %.9g, %.9g]},\n",
             m.first_angular[0], m.first_angular[1], m.first_angular[2], m.first_linear[0], m.first_linear[1],
             m.first_linear[2]);
    j.format("  \"filter_packets\": %llu,\n", static_cast<unsigned long long>(t.filter_packets));
    j.format("  \"command_packets\": {\"0x01\": %llu, \"0x0C\": %llu, \"0x0D\": %llu},\n",
             static_cast<unsigned long long>(t.command_packets[0]),
             static_cast<unsigned long long>(t.command_packets[1]),
             static_cast<unsigned long long>(t.command_packets[2]));
    j.format("  \"packets\": %llu, \"bytes\": %llu,\n", static_cast<unsigned long long>(t.packets),
             static_cast<unsigned long long>(t.bytes));
    j.format("  \"damage\": {\"garbage_blocks\": %llu, \"garbage_bytes\": %llu, \"truncated_bytes\": %u,\n",
             static_cast<unsigned long long>(t.garbage_blocks),
             static_cast<unsigned long long>(t.garbage_bytes), t.truncated_bytes);
    j.raw("    \"packets\": [");
    for (std::size_t i = 0; i < t.damaged.size(); ++i) {
        const DamagedPacket& p = t.damaged[i];
        j.format(
            "%s\n      {\"index\": %llu, \"offset\": %llu, \"size\": %u, \"set\": \"0x%02X\", \"kind\": "
            "\"%s\", "
            "\"damage\": \"%s\", \"receiver\": %d, \"item\": %lld, \"tow\": %.3f}",
            i ? "," : "", static_cast<unsigned long long>(p.index), static_cast<unsigned long long>(p.offset),
            p.size, p.descriptor_set, packet_kind_name(p.tag.kind), p.truncated ? "truncated" : "corrupted",
            p.tag.receiver, static_cast<long long>(p.tag.item), p.tag.tow);
    }
    j.raw("]}\n}\n");
    return std::move(j.text());
}

bool write_truth_file(const std::string& path, const SimOptions& options, const RunTruth& truth) {
    const std::string text = truth_json(options, truth);
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr)
        return false;
    const bool written = std::fwrite(text.data(), 1, text.size(), f) == text.size();
    return std::fclose(f) == 0 && written;
}
