/* Field decoders of the sensor (0x80) and navigation filter (0x82) sets: each reverses the
 * multi-byte members of its record in place, in increasing offset order. */
#include "vxp/records/sensor_records.h"

#include "vxp/records/record_swap.h"

static void decode_sensor_vector(const uint8_t* source, uint8_t* target) {
    VXP_SWAP_MEMBER_TO(source, target, SensorVector, x);
    VXP_SWAP_MEMBER_TO(source, target, SensorVector, y);
    VXP_SWAP_MEMBER_TO(source, target, SensorVector, z);
}

void vxp_decode_sensor_vector(uint8_t* data) {
    decode_sensor_vector(data, data);
}

void vxp_decode_sensor_vector_to(const uint8_t* source, uint8_t* target) {
    memcpy(target, source, sizeof(SensorVector));
    decode_sensor_vector(source, target);
}

void vxp_decode_sensor_scalar17(uint8_t* data) {
    VXP_SWAP_MEMBER(data, SensorScalar17, value);
}

void vxp_decode_filter_record01(uint8_t* data) {
    VXP_SWAP_MEMBER(data, FilterRecord01, f64_0);
    VXP_SWAP_MEMBER(data, FilterRecord01, f64_8);
    VXP_SWAP_MEMBER(data, FilterRecord01, f64_16);
    VXP_SWAP_MEMBER(data, FilterRecord01, valid_flags);
}

void vxp_decode_filter_vector(uint8_t* data) {
    VXP_SWAP_MEMBER(data, FilterVector, x);
    VXP_SWAP_MEMBER(data, FilterVector, y);
    VXP_SWAP_MEMBER(data, FilterVector, z);
    VXP_SWAP_MEMBER(data, FilterVector, valid_flags);
}

void vxp_decode_filter_record10(uint8_t* data) {
    VXP_SWAP_MEMBER(data, FilterRecord10, u16_0);
    VXP_SWAP_MEMBER(data, FilterRecord10, u16_2);
    VXP_SWAP_MEMBER(data, FilterRecord10, u16_4);
}
