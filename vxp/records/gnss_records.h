/* Decoded GNSS records: byte-packed copies of the field data of the GNSS descriptor sets
 * (0x81, 0x91-0x95), each multi-byte value reversed from big-endian to host order.
 * The layout of each struct is the wire layout of its field; offsets are from the field data. */
#ifndef VXP_RECORDS_GNSS_RECORDS_H
#define VXP_RECORDS_GNSS_RECORDS_H

#include <assert.h>
#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Field descriptors of the GNSS sets. */
#define VXP_GNSS_FIELD_RECORD03 0x03u
#define VXP_GNSS_FIELD_RECORD04 0x04u
#define VXP_GNSS_FIELD_RECORD05 0x05u
#define VXP_GNSS_FIELD_RECORD06 0x06u
#define VXP_GNSS_FIELD_RECORD07 0x07u
#define VXP_GNSS_FIELD_RECORD08 0x08u
#define VXP_GNSS_FIELD_TIME 0x09u
#define VXP_GNSS_FIELD_RECORD0A 0x0Au
#define VXP_GNSS_FIELD_RECORD0B 0x0Bu
#define VXP_GNSS_FIELD_RECORD0D 0x0Du
#define VXP_GNSS_FIELD_LEAP_SECONDS 0x11u
#define VXP_GNSS_FIELD_RAW_OBSERVATION 0x22u
#define VXP_GNSS_FIELD_BASE_STATION 0x30u
#define VXP_GNSS_FIELD_GPS_EPHEMERIS 0x61u
#define VXP_GNSS_FIELD_GLONASS_EPHEMERIS 0x62u
#define VXP_GNSS_FIELD_GALILEO_EPHEMERIS 0x63u
#define VXP_GNSS_FIELD_GPS_IONO 0x71u
#define VXP_GNSS_FIELD_GALILEO_IONO 0x73u
#define VXP_FIELD_SHARED_TIME 0xD3u /* shared time field of the GNSS, sensor and filter sets */

#pragma pack(push, 1)

/* Time tag of every data family (GNSS 0x09/0xD3, sensor 0x12/0xD3, filter 0x11/0xD3). */
typedef struct GpsTimestamp {
    double time_of_week;
    uint16_t week_number;
    uint16_t valid_flags;
} GpsTimestamp;

typedef struct RawObservation {
    uint8_t spare_0;
    uint8_t spare_1;
    double time_of_week;
    uint16_t week_number;
    uint16_t spare_12;
    uint8_t spare_14;
    uint8_t gnss_id;
    uint8_t satellite_id;
    uint8_t signal_id;
    float signal_strength;
    uint8_t spare_22;
    double pseudorange;
    double carrier_phase;
    float doppler;
    float spare_43;
    float spare_47;
    float spare_51;
    float spare_55;
    uint16_t valid_flags;
} RawObservation;

/* Shared by GPS (0x61) and Galileo (0x63). */
typedef struct GpsEphemeris {
    uint8_t spare_0;
    uint8_t spare_1;
    double time_of_week;
    uint16_t week_number;
    uint8_t satellite_id;
    uint8_t health;
    uint8_t iodc;
    uint8_t iode;
    double t_oc;
    double af0;
    double af1;
    double af2;
    double t_gd;
    double spare_56;
    double spare_64;
    double t_oe;
    double a;
    double spare_88;
    double mean_anomaly;
    double delta_mean_motion;
    double spare_112;
    double eccentricity;
    double argument_of_perigee;
    double right_ascension;
    double right_ascension_rate;
    double inclination;
    double inclination_rate;
    double cic;
    double cis;
    double cuc;
    double cus;
    double crc;
    double crs;
    uint16_t valid_flags;
} GpsEphemeris;
typedef GpsEphemeris GalileoEphemeris;

typedef struct GlonassEphemeris {
    uint8_t spare_0;
    uint8_t spare_1;
    double time_of_week;
    uint16_t week_number;
    uint8_t satellite_id;
    int8_t frequency_number;
    uint32_t tk;
    uint32_t tb;
    uint8_t spare_22;
    double gamma;
    double tau_n;
    double x;
    double y;
    double z;
    float vx;
    float vy;
    float vz;
    float ax;
    float ay;
    float az;
    uint8_t health;
    uint8_t spare_88;
    uint8_t spare_89;
    float spare_90;
    uint8_t spare_94;
    uint8_t age;
    uint8_t spare_96;
    uint8_t spare_97;
    uint8_t spare_98;
    uint8_t spare_99;
    uint16_t valid_flags;
} GlonassEphemeris;

typedef struct GpsIonoCorrection {
    double time_of_week;
    uint16_t week_number;
    double alpha[4];
    double beta[4];
    uint16_t valid_flags;
} GpsIonoCorrection;

typedef struct GalileoIonoCorrection {
    double time_of_week;
    uint16_t week_number;
    double alpha[3];
    uint8_t spare_34;
    uint16_t valid_flags;
} GalileoIonoCorrection;

typedef struct GnssLeapSeconds {
    uint8_t leap_seconds;
    uint16_t valid_flags;
} GnssLeapSeconds;

typedef struct BaseStationInfo {
    double time_of_week;
    uint16_t week_number;
    double ecef_x;
    double ecef_y;
    double ecef_z;
    float antenna_height;
    uint16_t station_id;
    uint16_t spare_40;
    uint16_t valid_flags;
} BaseStationInfo;

/* Records kept per receiver and read by no output; members named by type and offset. */
typedef struct GnssRecord03 {
    double f64_0, f64_8, f64_16, f64_24;
    float f32_32, f32_36;
    uint16_t valid_flags;
} GnssRecord03;

typedef struct GnssRecord04 {
    double f64_0, f64_8, f64_16;
    float f32_24;
    uint16_t valid_flags;
} GnssRecord04;

typedef struct GnssRecord05 {
    float f32[8];
    uint16_t valid_flags;
} GnssRecord05;

typedef struct GnssRecord06 {
    float f32[4];
    uint16_t valid_flags;
} GnssRecord06;

typedef struct GnssRecord07 {
    float f32[7];
    uint16_t valid_flags;
} GnssRecord07;

typedef struct GnssRecord08 {
    uint16_t u16_0;
    uint8_t u8_2, u8_3, u8_4, u8_5, u8_6;
    uint32_t u32_7;
    uint16_t valid_flags;
} GnssRecord08;

typedef struct GnssRecord0A {
    double f64_0, f64_8, f64_16;
    uint16_t valid_flags;
} GnssRecord0A;

typedef struct GnssRecord0B {
    uint8_t u8_0, u8_1;
    uint16_t u16_2;
    uint16_t valid_flags;
} GnssRecord0B;

typedef struct GnssRecord0D {
    uint8_t u8_0, u8_1, u8_2;
    uint16_t valid_flags;
} GnssRecord0D;

#pragma pack(pop)

static_assert(sizeof(GpsTimestamp) == 12, "GpsTimestamp layout");
static_assert(sizeof(RawObservation) == 61, "RawObservation layout");
static_assert(offsetof(RawObservation, pseudorange) == 23, "RawObservation layout");
static_assert(offsetof(RawObservation, valid_flags) == 59, "RawObservation layout");
static_assert(sizeof(GpsEphemeris) == 218, "GpsEphemeris layout");
static_assert(offsetof(GpsEphemeris, t_oc) == 16, "GpsEphemeris layout");
static_assert(offsetof(GpsEphemeris, crs) == 208, "GpsEphemeris layout");
static_assert(sizeof(GlonassEphemeris) == 102, "GlonassEphemeris layout");
static_assert(offsetof(GlonassEphemeris, x) == 39, "GlonassEphemeris layout");
static_assert(offsetof(GlonassEphemeris, health) == 87, "GlonassEphemeris layout");
static_assert(offsetof(GlonassEphemeris, age) == 95, "GlonassEphemeris layout");
static_assert(sizeof(GpsIonoCorrection) == 76, "GpsIonoCorrection layout");
static_assert(offsetof(GpsIonoCorrection, beta) == 42, "GpsIonoCorrection layout");
static_assert(sizeof(GalileoIonoCorrection) == 37, "GalileoIonoCorrection layout");
static_assert(sizeof(GnssLeapSeconds) == 3, "GnssLeapSeconds layout");
static_assert(sizeof(BaseStationInfo) == 44, "BaseStationInfo layout");
static_assert(offsetof(BaseStationInfo, antenna_height) == 34, "BaseStationInfo layout");
static_assert(sizeof(GnssRecord03) == 42, "GnssRecord03 layout");
static_assert(sizeof(GnssRecord04) == 30, "GnssRecord04 layout");
static_assert(sizeof(GnssRecord05) == 34, "GnssRecord05 layout");
static_assert(sizeof(GnssRecord06) == 18, "GnssRecord06 layout");
static_assert(sizeof(GnssRecord07) == 30, "GnssRecord07 layout");
static_assert(sizeof(GnssRecord08) == 13, "GnssRecord08 layout");
static_assert(sizeof(GnssRecord0A) == 26, "GnssRecord0A layout");
static_assert(sizeof(GnssRecord0B) == 6, "GnssRecord0B layout");
static_assert(sizeof(GnssRecord0D) == 5, "GnssRecord0D layout");

/* Field decoders: each reverses, in place, the multi-byte members of its layout in the field
 * data it is given. The caller guarantees that the record's full size is readable. Each decoder
 * is its own inverse, so the same call also encodes a host record for the wire. */
void vxp_decode_gps_timestamp(uint8_t* data);
void vxp_decode_raw_observation(uint8_t* data);
/* The same conversion from the received bytes at `source` into a record at `target`, the bytes at
 * `source` left as they are (the records a packet holds most). */
void vxp_decode_gps_timestamp_to(const uint8_t* source, uint8_t* target);
void vxp_decode_raw_observation_to(const uint8_t* source, uint8_t* target);
void vxp_decode_gps_ephemeris(uint8_t* data); /* GPS and Galileo */
void vxp_decode_glonass_ephemeris(uint8_t* data);
void vxp_decode_gps_iono(uint8_t* data);
void vxp_decode_galileo_iono(uint8_t* data);
void vxp_decode_leap_seconds(uint8_t* data);
void vxp_decode_base_station_info(uint8_t* data);
void vxp_decode_gnss_record03(uint8_t* data);
void vxp_decode_gnss_record04(uint8_t* data);
void vxp_decode_gnss_record05(uint8_t* data);
void vxp_decode_gnss_record06(uint8_t* data);
void vxp_decode_gnss_record07(uint8_t* data);
void vxp_decode_gnss_record08(uint8_t* data);
void vxp_decode_gnss_record0A(uint8_t* data);
void vxp_decode_gnss_record0B(uint8_t* data);
void vxp_decode_gnss_record0D(uint8_t* data);

#ifdef __cplusplus
}
#endif

#endif
