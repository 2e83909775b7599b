/* Decoded sensor (set 0x80) and navigation filter (set 0x82) records, byte-packed,
 * multi-byte values in host order. The time tags use GpsTimestamp (gnss_records.h). */
#ifndef VXP_RECORDS_SENSOR_RECORDS_H
#define VXP_RECORDS_SENSOR_RECORDS_H

#include <assert.h>
#include <stdint.h>

#include "vxp/records/gnss_records.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Descriptor sets. */
#define VXP_SET_COMMAND_01 0x01u
#define VXP_SET_COMMAND_0C 0x0Cu
#define VXP_SET_COMMAND_0D 0x0Du
#define VXP_SET_SENSOR 0x80u
#define VXP_SET_GNSS_LEGACY 0x81u /* feeds receiver index 0, like 0x91 */
#define VXP_SET_FILTER 0x82u
#define VXP_SET_GNSS_FIRST 0x91u  /* 0x91 + k feeds receiver index k */
#define VXP_SET_GNSS_BASE 0x93u   /* the receiver whose set carries base-station info */
#define VXP_SET_GNSS_LAST 0x95u
#define VXP_RECEIVER_COUNT 5u

/* Sensor set fields. */
#define VXP_SENSOR_FIELD_SCALED_ACCEL 0x04u
#define VXP_SENSOR_FIELD_SCALED_GYRO 0x05u
#define VXP_SENSOR_FIELD_VECTOR06 0x06u
#define VXP_SENSOR_FIELD_DELTA_THETA 0x07u
#define VXP_SENSOR_FIELD_DELTA_VELOCITY 0x08u
#define VXP_SENSOR_FIELD_TIME 0x12u
#define VXP_SENSOR_FIELD_SCALAR17 0x17u

/* Filter set fields. */
#define VXP_FILTER_FIELD_RECORD01 0x01u
#define VXP_FILTER_FIELD_VECTOR02 0x02u
#define VXP_FILTER_FIELD_VECTOR05 0x05u /* 0x05 .. 0x0C: FilterVector each */
#define VXP_FILTER_FIELD_VECTOR0C 0x0Cu
#define VXP_FILTER_FIELD_RECORD10 0x10u
#define VXP_FILTER_FIELD_TIME 0x11u

#pragma pack(push, 1)

/* The five 3-float vectors of set 0x80 share one layout. */
typedef struct SensorVector {
    float x;
    float y;
    float z;
} SensorVector;
typedef SensorVector ScaledAccelVector;   /* g */
typedef SensorVector ScaledGyroVector;    /* rad/s */
typedef SensorVector SensorVector06;
typedef SensorVector DeltaThetaVector;    /* rad */
typedef SensorVector DeltaVelocityVector; /* g*s */

typedef struct SensorScalar17 {
    float value;
} SensorScalar17;

typedef struct FilterRecord01 {
    double f64_0, f64_8, f64_16;
    uint16_t valid_flags;
} FilterRecord01;

typedef struct FilterVector {
    float x;
    float y;
    float z;
    uint16_t valid_flags;
} FilterVector;

typedef struct FilterRecord10 {
    uint16_t u16_0, u16_2, u16_4;
} FilterRecord10;

#pragma pack(pop)

static_assert(sizeof(SensorVector) == 12, "SensorVector layout");
static_assert(sizeof(SensorScalar17) == 4, "SensorScalar17 layout");
static_assert(sizeof(FilterRecord01) == 26, "FilterRecord01 layout");
static_assert(sizeof(FilterVector) == 14, "FilterVector layout");
static_assert(sizeof(FilterRecord10) == 6, "FilterRecord10 layout");

void vxp_decode_sensor_vector(uint8_t* data);
/* The same from the received bytes at `source` into a record at `target` (`source` unchanged). */
void vxp_decode_sensor_vector_to(const uint8_t* source, uint8_t* target);
void vxp_decode_sensor_scalar17(uint8_t* data);
void vxp_decode_filter_record01(uint8_t* data);
void vxp_decode_filter_vector(uint8_t* data);
void vxp_decode_filter_record10(uint8_t* data);

#ifdef __cplusplus
}
#endif

#endif
