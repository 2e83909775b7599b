/* Status codes shared by the protocol library's operations (0 = success). */
#ifndef VXP_STATUS_H
#define VXP_STATUS_H

#define VXP_OK 0u            /* success */
#define VXP_ERROR 1u         /* null argument, not initialised, general failure */
#define VXP_SIZE_ERROR 2u    /* size problem (entry too large, destination too small, packet too long) */
#define VXP_END_OF_FIELDS 3u /* field iteration: no more fields */
#define VXP_EMPTY 4u         /* ring empty; also: bad sync bytes for packet operations */
#define VXP_BAD_SYNC 4u
#define VXP_NOT_FOUND 4u /* ring search: no entry holds the value */
#define VXP_FULL 5u      /* ring full; also: checksum mismatch */
#define VXP_BAD_CHECKSUM 5u
#define VXP_NO_PACKET 2u /* parser step: nothing delivered */

#endif
