/* Field decoders of the GNSS sets: each reverses the multi-byte members of its record in place,
 * in increasing offset order. A reversal is its own inverse, so each decoder also encodes. */
#include "vxp/records/gnss_records.h"

#include "vxp/records/record_swap.h"

/* Counts of the array members whose elements are reversed one by one. */
#define GPS_IONO_COEFFICIENTS 4
#define GALILEO_IONO_COEFFICIENTS 3
#define GNSS_RECORD05_VALUES 8
#define GNSS_RECORD06_VALUES 4
#define GNSS_RECORD07_VALUES 7

static void decode_gps_timestamp(const uint8_t* source, uint8_t* target) {
    VXP_SWAP_MEMBER_TO(source, target, GpsTimestamp, time_of_week);
    VXP_SWAP_MEMBER_TO(source, target, GpsTimestamp, week_number);
    VXP_SWAP_MEMBER_TO(source, target, GpsTimestamp, valid_flags);
}

void vxp_decode_gps_timestamp(uint8_t* data) {
    decode_gps_timestamp(data, data);
}

void vxp_decode_gps_timestamp_to(const uint8_t* source, uint8_t* target) {
    memcpy(target, source, sizeof(GpsTimestamp));
    decode_gps_timestamp(source, target);
}

static void decode_raw_observation(const uint8_t* source, uint8_t* target) {
    VXP_SWAP_MEMBER_TO(source, target, RawObservation, time_of_week);
    VXP_SWAP_MEMBER_TO(source, target, RawObservation, week_number);
    VXP_SWAP_MEMBER_TO(source, target, RawObservation, spare_12);
    VXP_SWAP_MEMBER_TO(source, target, RawObservation, signal_strength);
    VXP_SWAP_MEMBER_TO(source, target, RawObservation, pseudorange);
    VXP_SWAP_MEMBER_TO(source, target, RawObservation, carrier_phase);
    VXP_SWAP_MEMBER_TO(source, target, RawObservation, doppler);
    VXP_SWAP_MEMBER_TO(source, target, RawObservation, spare_43);
    VXP_SWAP_MEMBER_TO(source, target, RawObservation, spare_47);
    VXP_SWAP_MEMBER_TO(source, target, RawObservation, spare_51);
    VXP_SWAP_MEMBER_TO(source, target, RawObservation, spare_55);
    VXP_SWAP_MEMBER_TO(source, target, RawObservation, valid_flags);
}

void vxp_decode_raw_observation(uint8_t* data) {
    decode_raw_observation(data, data);
}

void vxp_decode_raw_observation_to(const uint8_t* source, uint8_t* target) {
    memcpy(target, source, sizeof(RawObservation));
    decode_raw_observation(source, target);
}

void vxp_decode_gps_ephemeris(uint8_t* data) {
    VXP_SWAP_MEMBER(data, GpsEphemeris, time_of_week);
    VXP_SWAP_MEMBER(data, GpsEphemeris, week_number);
    VXP_SWAP_MEMBER(data, GpsEphemeris, t_oc);
    VXP_SWAP_MEMBER(data, GpsEphemeris, af0);
    VXP_SWAP_MEMBER(data, GpsEphemeris, af1);
    VXP_SWAP_MEMBER(data, GpsEphemeris, af2);
    VXP_SWAP_MEMBER(data, GpsEphemeris, t_gd);
    VXP_SWAP_MEMBER(data, GpsEphemeris, spare_56);
    VXP_SWAP_MEMBER(data, GpsEphemeris, spare_64);
    VXP_SWAP_MEMBER(data, GpsEphemeris, t_oe);
    VXP_SWAP_MEMBER(data, GpsEphemeris, a);
    VXP_SWAP_MEMBER(data, GpsEphemeris, spare_88);
    VXP_SWAP_MEMBER(data, GpsEphemeris, mean_anomaly);
    VXP_SWAP_MEMBER(data, GpsEphemeris, delta_mean_motion);
    VXP_SWAP_MEMBER(data, GpsEphemeris, spare_112);
    VXP_SWAP_MEMBER(data, GpsEphemeris, eccentricity);
    VXP_SWAP_MEMBER(data, GpsEphemeris, argument_of_perigee);
    VXP_SWAP_MEMBER(data, GpsEphemeris, right_ascension);
    VXP_SWAP_MEMBER(data, GpsEphemeris, right_ascension_rate);
    VXP_SWAP_MEMBER(data, GpsEphemeris, inclination);
    VXP_SWAP_MEMBER(data, GpsEphemeris, inclination_rate);
    VXP_SWAP_MEMBER(data, GpsEphemeris, cic);
    VXP_SWAP_MEMBER(data, GpsEphemeris, cis);
    VXP_SWAP_MEMBER(data, GpsEphemeris, cuc);
    VXP_SWAP_MEMBER(data, GpsEphemeris, cus);
    VXP_SWAP_MEMBER(data, GpsEphemeris, crc);
    VXP_SWAP_MEMBER(data, GpsEphemeris, crs);
    VXP_SWAP_MEMBER(data, GpsEphemeris, valid_flags);
}

void vxp_decode_glonass_ephemeris(uint8_t* data) {
    VXP_SWAP_MEMBER(data, GlonassEphemeris, time_of_week);
    VXP_SWAP_MEMBER(data, GlonassEphemeris, week_number);
    VXP_SWAP_MEMBER(data, GlonassEphemeris, tk);
    VXP_SWAP_MEMBER(data, GlonassEphemeris, tb);
    VXP_SWAP_MEMBER(data, GlonassEphemeris, gamma);
    VXP_SWAP_MEMBER(data, GlonassEphemeris, tau_n);
    VXP_SWAP_MEMBER(data, GlonassEphemeris, x);
    VXP_SWAP_MEMBER(data, GlonassEphemeris, y);
    VXP_SWAP_MEMBER(data, GlonassEphemeris, z);
    VXP_SWAP_MEMBER(data, GlonassEphemeris, vx);
    VXP_SWAP_MEMBER(data, GlonassEphemeris, vy);
    VXP_SWAP_MEMBER(data, GlonassEphemeris, vz);
    VXP_SWAP_MEMBER(data, GlonassEphemeris, ax);
    VXP_SWAP_MEMBER(data, GlonassEphemeris, ay);
    VXP_SWAP_MEMBER(data, GlonassEphemeris, az);
    VXP_SWAP_MEMBER(data, GlonassEphemeris, spare_90);
    VXP_SWAP_MEMBER(data, GlonassEphemeris, valid_flags);
}

void vxp_decode_gps_iono(uint8_t* data) {
    VXP_SWAP_MEMBER(data, GpsIonoCorrection, time_of_week);
    VXP_SWAP_MEMBER(data, GpsIonoCorrection, week_number);
    for (int i = 0; i < GPS_IONO_COEFFICIENTS; ++i)
        VXP_SWAP_ELEMENT(data, GpsIonoCorrection, alpha, i);
    for (int i = 0; i < GPS_IONO_COEFFICIENTS; ++i)
        VXP_SWAP_ELEMENT(data, GpsIonoCorrection, beta, i);
    VXP_SWAP_MEMBER(data, GpsIonoCorrection, valid_flags);
}

void vxp_decode_galileo_iono(uint8_t* data) {
    VXP_SWAP_MEMBER(data, GalileoIonoCorrection, time_of_week);
    VXP_SWAP_MEMBER(data, GalileoIonoCorrection, week_number);
    for (int i = 0; i < GALILEO_IONO_COEFFICIENTS; ++i)
        VXP_SWAP_ELEMENT(data, GalileoIonoCorrection, alpha, i);
    VXP_SWAP_MEMBER(data, GalileoIonoCorrection, valid_flags);
}

void vxp_decode_leap_seconds(uint8_t* data) {
    VXP_SWAP_MEMBER(data, GnssLeapSeconds, valid_flags);
}

void vxp_decode_base_station_info(uint8_t* data) {
    VXP_SWAP_MEMBER(data, BaseStationInfo, time_of_week);
    VXP_SWAP_MEMBER(data, BaseStationInfo, week_number);
    VXP_SWAP_MEMBER(data, BaseStationInfo, ecef_x);
    VXP_SWAP_MEMBER(data, BaseStationInfo, ecef_y);
    VXP_SWAP_MEMBER(data, BaseStationInfo, ecef_z);
    VXP_SWAP_MEMBER(data, BaseStationInfo, antenna_height);
    VXP_SWAP_MEMBER(data, BaseStationInfo, station_id);
    VXP_SWAP_MEMBER(data, BaseStationInfo, spare_40);
    VXP_SWAP_MEMBER(data, BaseStationInfo, valid_flags);
}

void vxp_decode_gnss_record03(uint8_t* data) {
    VXP_SWAP_MEMBER(data, GnssRecord03, f64_0);
    VXP_SWAP_MEMBER(data, GnssRecord03, f64_8);
    VXP_SWAP_MEMBER(data, GnssRecord03, f64_16);
    VXP_SWAP_MEMBER(data, GnssRecord03, f64_24);
    VXP_SWAP_MEMBER(data, GnssRecord03, f32_32);
    VXP_SWAP_MEMBER(data, GnssRecord03, f32_36);
    VXP_SWAP_MEMBER(data, GnssRecord03, valid_flags);
}

void vxp_decode_gnss_record04(uint8_t* data) {
    VXP_SWAP_MEMBER(data, GnssRecord04, f64_0);
    VXP_SWAP_MEMBER(data, GnssRecord04, f64_8);
    VXP_SWAP_MEMBER(data, GnssRecord04, f64_16);
    VXP_SWAP_MEMBER(data, GnssRecord04, f32_24);
    VXP_SWAP_MEMBER(data, GnssRecord04, valid_flags);
}

void vxp_decode_gnss_record05(uint8_t* data) {
    for (int i = 0; i < GNSS_RECORD05_VALUES; ++i)
        VXP_SWAP_ELEMENT(data, GnssRecord05, f32, i);
    VXP_SWAP_MEMBER(data, GnssRecord05, valid_flags);
}

void vxp_decode_gnss_record06(uint8_t* data) {
    for (int i = 0; i < GNSS_RECORD06_VALUES; ++i)
        VXP_SWAP_ELEMENT(data, GnssRecord06, f32, i);
    VXP_SWAP_MEMBER(data, GnssRecord06, valid_flags);
}

void vxp_decode_gnss_record07(uint8_t* data) {
    for (int i = 0; i < GNSS_RECORD07_VALUES; ++i)
        VXP_SWAP_ELEMENT(data, GnssRecord07, f32, i);
    VXP_SWAP_MEMBER(data, GnssRecord07, valid_flags);
}

void vxp_decode_gnss_record08(uint8_t* data) {
    VXP_SWAP_MEMBER(data, GnssRecord08, u16_0);
    VXP_SWAP_MEMBER(data, GnssRecord08, u32_7);
    VXP_SWAP_MEMBER(data, GnssRecord08, valid_flags);
}

void vxp_decode_gnss_record0A(uint8_t* data) {
    VXP_SWAP_MEMBER(data, GnssRecord0A, f64_0);
    VXP_SWAP_MEMBER(data, GnssRecord0A, f64_8);
    VXP_SWAP_MEMBER(data, GnssRecord0A, f64_16);
    VXP_SWAP_MEMBER(data, GnssRecord0A, valid_flags);
}

void vxp_decode_gnss_record0B(uint8_t* data) {
    VXP_SWAP_MEMBER(data, GnssRecord0B, u16_2);
    VXP_SWAP_MEMBER(data, GnssRecord0B, valid_flags);
}

void vxp_decode_gnss_record0D(uint8_t* data) {
    VXP_SWAP_MEMBER(data, GnssRecord0D, valid_flags);
}
