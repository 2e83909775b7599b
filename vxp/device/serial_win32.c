/* Serial port access on Windows (the Win32 communications calls): port n is COMn, opened as
 * \\.\COMn so that ports above 9 open too; raw 8N1 at the caller's baud rate, reads that never
 * wait for more than the driver holds, exclusive use of the port. */
#include <stdio.h>
#include <stdlib.h>
#include <windows.h>

#include "vxp/device/serial.h"
#include "vxp/device/trace.h"
#include "vxp/status.h"

/* Sizes of the driver's input and output queues asked for. */
#define VXP_SERIAL_QUEUE_BYTES 512u
/* Longest device name accepted from the caller, in UTF-16 units. */
#define VXP_SERIAL_MAX_NAME 260

struct vxp_serial_port {
    HANDLE handle;
};

/* 8 data bits, no parity, one stop bit; the port stops on a line error until the error is
 * cleared (vxp_serial_bytes_waiting clears it). The protocol is binary: no XON/XOFF, no byte
 * dropped or replaced. Everything else stays as the driver reports it. */
static int configure_line(HANDLE handle, uint32_t baud_rate) {
    DCB settings;
    ZeroMemory(&settings, sizeof settings);
    settings.DCBlength = sizeof settings;
    if (!SetupComm(handle, VXP_SERIAL_QUEUE_BYTES, VXP_SERIAL_QUEUE_BYTES) ||
        !GetCommState(handle, &settings)) {
        return 0;
    }
    settings.BaudRate = baud_rate;
    settings.ByteSize = 8;
    settings.Parity = NOPARITY;
    settings.StopBits = ONESTOPBIT;
    settings.fBinary = TRUE;
    settings.fParity = FALSE;
    settings.fAbortOnError = TRUE;
    settings.fOutX = FALSE;
    settings.fInX = FALSE;
    settings.fErrorChar = FALSE;
    settings.fNull = FALSE;
    if (!SetCommState(handle, &settings)) {
        return 0;
    }
    /* A read returns at once with what the driver holds; writes wait until they are done. */
    COMMTIMEOUTS timeouts;
    ZeroMemory(&timeouts, sizeof timeouts);
    timeouts.ReadIntervalTimeout = MAXDWORD;
    return SetCommTimeouts(handle, &timeouts) != 0;
}

uint16_t vxp_serial_port_name(uint32_t port_number, char* name, size_t name_size) {
    if (name == NULL) {
        return VXP_ERROR;
    }
    int length = snprintf(name, name_size, "\\\\.\\COM%u", (unsigned)port_number);
    return (length < 0 || (size_t)length >= name_size) ? VXP_ERROR : VXP_OK;
}

uint16_t vxp_serial_open(vxp_serial_port** port, uint32_t port_number, uint32_t baud_rate) {
    char name[32];
    if (port == NULL) {
        return VXP_ERROR;
    }
    *port = NULL;
    if (vxp_serial_port_name(port_number, name, sizeof name) != VXP_OK) {
        return VXP_ERROR;
    }
    return vxp_serial_open_path(port, name, baud_rate);
}

uint16_t vxp_serial_open_path(vxp_serial_port** port, const char* path, uint32_t baud_rate) {
    wchar_t wide_path[VXP_SERIAL_MAX_NAME];
    if (port == NULL) {
        return VXP_ERROR;
    }
    *port = NULL;
    if (path == NULL || baud_rate == 0 ||
        MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, path, -1, wide_path, VXP_SERIAL_MAX_NAME) == 0) {
        return VXP_ERROR;
    }
    /* No sharing: a second open of the port fails until this one is closed. */
    HANDLE handle = CreateFileW(wide_path, GENERIC_READ | GENERIC_WRITE, 0, NULL, OPEN_EXISTING, 0, NULL);
    if (handle == INVALID_HANDLE_VALUE) {
        return VXP_ERROR;
    }
    if (GetFileType(handle) != FILE_TYPE_CHAR || !configure_line(handle, baud_rate)) {
        CloseHandle(handle);
        return VXP_ERROR;
    }
    vxp_serial_port* opened = malloc(sizeof *opened);
    if (opened == NULL) {
        CloseHandle(handle);
        return VXP_ERROR;
    }
    opened->handle = handle;
    *port = opened;
    return VXP_OK;
}

uint16_t vxp_serial_close(vxp_serial_port* port) {
    if (port == NULL) {
        return VXP_ERROR;
    }
    CloseHandle(port->handle);
    free(port);
    return VXP_OK;
}

uint16_t vxp_serial_write(vxp_serial_port* port, const uint8_t* bytes, uint32_t count, uint32_t* written) {
    uint32_t sent = 0;
    if (written != NULL) {
        *written = 0;
    }
    if (port == NULL || (bytes == NULL && count > 0)) {
        return VXP_ERROR;
    }
    while (sent < count) {
        DWORD result = 0;
        if (!WriteFile(port->handle, bytes + sent, count - sent, &result, NULL) || result == 0) {
            break;
        }
        sent += result;
    }
    if (written != NULL) {
        *written = sent;
    }
    if (sent < count) {
        return VXP_ERROR;
    }
    vxp_trace_bytes(VXP_TRACE_WRITE, bytes, count);
    return VXP_OK;
}

uint16_t vxp_serial_read(vxp_serial_port* port, uint8_t* buffer, uint32_t count, uint32_t* read_count) {
    uint32_t got = 0;
    if (read_count != NULL) {
        *read_count = 0;
    }
    if (port == NULL || (buffer == NULL && count > 0)) {
        return VXP_ERROR;
    }
    /* The timeouts make each read return at once, so this loop ends when the driver runs dry. */
    while (got < count) {
        DWORD result = 0;
        if (!ReadFile(port->handle, buffer + got, count - got, &result, NULL) || result == 0) {
            break;
        }
        got += result;
    }
    if (read_count != NULL) {
        *read_count = got;
    }
    if (got < count) {
        return VXP_ERROR;
    }
    vxp_trace_bytes(VXP_TRACE_READ, buffer, count);
    return VXP_OK;
}

uint32_t vxp_serial_bytes_waiting(vxp_serial_port* port) {
    DWORD errors = 0;
    COMSTAT status;
    if (port == NULL || !ClearCommError(port->handle, &errors, &status)) {
        return 0;
    }
    return (uint32_t)status.cbInQue;
}
