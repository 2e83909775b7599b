/* Serial port access for a live device: open a port at a baud rate (8 data bits, no parity, one
 * stop bit, raw bytes, exclusive use), write and read raw bytes with the hexadecimal trace.
 * Implemented with the Win32 communications calls on Windows (serial_win32.c: numbered port n is
 * \\.\COMn) and with termios elsewhere (serial_posix.c). */
#ifndef VXP_DEVICE_SERIAL_H
#define VXP_DEVICE_SERIAL_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* An open port; the platform's handle lives inside. Null means "no port". */
typedef struct vxp_serial_port vxp_serial_port;

/* Writes the platform's device name of numbered port `port_number` into `name`. Ports are numbered
 * as Windows numbers them, so one number names the same port everywhere: port n is COMn on Windows
 * ("\\.\COMn") and /dev/ttyS<n-1> on POSIX systems (port 1: COM1, /dev/ttyS0). 1 for port 0
 * (there is no COM0) or a name that does not fit, else 0. */
uint16_t vxp_serial_port_name(uint32_t port_number, char* name, size_t name_size);

/* Opens numbered port `port_number` (see vxp_serial_port_name); 1 if any step fails, else 0. */
uint16_t vxp_serial_open(vxp_serial_port** port, uint32_t port_number, uint32_t baud_rate);

/* Opens the serial device at `path` (USB serial adapters, pseudo-terminals): read and write,
 * existing device only, exclusive, raw 8N1 at `baud_rate`. `*port` is null unless 0 is returned.
 * 1 for a null argument, a device that cannot be opened or locked, or a baud rate the platform
 * does not offer. */
uint16_t vxp_serial_open_path(vxp_serial_port** port, const char* path, uint32_t baud_rate);

/* 1 for a null port; else closes it and frees the handle; 0. */
uint16_t vxp_serial_close(vxp_serial_port* port);

/* Writes all `count` bytes. written = bytes that went out; 1 for a null port, a failed write or a
 * short write, else traces the bytes and returns 0. */
uint16_t vxp_serial_write(vxp_serial_port* port, const uint8_t* bytes, uint32_t count, uint32_t* written);

/* Reads `count` bytes without waiting for more than the port holds. read = bytes placed in
 * `buffer` (also on failure, so the caller can keep them); 1 for a null port, a failed read or
 * fewer bytes than asked, else traces the bytes and returns 0. */
uint16_t vxp_serial_read(vxp_serial_port* port, uint8_t* buffer, uint32_t count, uint32_t* read);

/* Bytes waiting in the driver's input queue; 0 for a null port or a failed query. */
uint32_t vxp_serial_bytes_waiting(vxp_serial_port* port);

#ifdef __cplusplus
}
#endif

#endif
