/* Serial port access on POSIX terminals (termios): raw 8N1 at the caller's baud rate, reads that
 * never wait for more than the driver holds, exclusive use of the port. */
#define _DEFAULT_SOURCE /* cfmakeraw, flock, the high baud-rate constants */

#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include "vxp/device/serial.h"
#include "vxp/device/trace.h"
#include "vxp/status.h"

/* Numbered ports map to the platform's numbered terminal devices. */
#if defined(__FreeBSD__)
#define VXP_SERIAL_NUMBERED_PREFIX "/dev/cuau"
#else
#define VXP_SERIAL_NUMBERED_PREFIX "/dev/ttyS"
#endif

struct vxp_serial_port {
    int fd;
};

typedef struct baud_constant {
    uint32_t rate;
    speed_t constant;
} baud_constant;

/* The rates this platform's termios can express; the high rates exist only on some systems. */
static const baud_constant baud_constants[] = {
    {1200, B1200},       {2400, B2400},   {4800, B4800},     {9600, B9600},     {19200, B19200},
    {38400, B38400},     {57600, B57600}, {115200, B115200}, {230400, B230400},
#ifdef B460800
    {460800, B460800},
#endif
#ifdef B500000
    {500000, B500000},
#endif
#ifdef B576000
    {576000, B576000},
#endif
#ifdef B921600
    {921600, B921600},
#endif
#ifdef B1000000
    {1000000, B1000000},
#endif
#ifdef B1500000
    {1500000, B1500000},
#endif
#ifdef B2000000
    {2000000, B2000000},
#endif
#ifdef B3000000
    {3000000, B3000000},
#endif
#ifdef B4000000
    {4000000, B4000000},
#endif
};

static int find_baud_constant(uint32_t rate, speed_t* constant) {
    for (size_t i = 0; i < sizeof baud_constants / sizeof baud_constants[0]; ++i) {
        if (baud_constants[i].rate == rate) {
            *constant = baud_constants[i].constant;
            return 1;
        }
    }
    return 0;
}

/* Raw 8N1: no echo, no line editing, no character translation, no software flow control; reads
 * return at once with what the driver holds (VMIN = VTIME = 0). */
static int configure_line(int fd, speed_t speed) {
    struct termios settings;
    if (tcgetattr(fd, &settings) != 0) {
        return 0;
    }
    cfmakeraw(&settings);
    settings.c_cflag &= ~(tcflag_t)(CSIZE | PARENB | CSTOPB);
    settings.c_cflag |= CS8 | CLOCAL | CREAD;
    settings.c_cc[VMIN] = 0;
    settings.c_cc[VTIME] = 0;
    if (cfsetispeed(&settings, speed) != 0 || cfsetospeed(&settings, speed) != 0) {
        return 0;
    }
    return tcsetattr(fd, TCSANOW, &settings) == 0;
}

/* TIOCEXCL refuses further opens of the terminal (except by a privileged process); the lock
 * refuses them also to privileged processes that take the lock as well. */
static int take_exclusive_use(int fd) {
#ifdef TIOCEXCL
    if (ioctl(fd, TIOCEXCL) != 0) {
        return 0;
    }
#endif
    return flock(fd, LOCK_EX | LOCK_NB) == 0;
}

uint16_t vxp_serial_port_name(uint32_t port_number, char* name, size_t name_size) {
    /* Port n is the one Windows calls COMn; the terminal devices count from 0. */
    if (name == NULL || port_number == 0) {
        return VXP_ERROR;
    }
    int length = snprintf(name, name_size, "%s%u", VXP_SERIAL_NUMBERED_PREFIX, (unsigned)(port_number - 1u));
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
    speed_t speed;
    if (port == NULL) {
        return VXP_ERROR;
    }
    *port = NULL;
    if (path == NULL || !find_baud_constant(baud_rate, &speed)) {
        return VXP_ERROR;
    }
    /* Non-blocking open so that a port without carrier does not hang the open. */
    int fd = open(path, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        return VXP_ERROR;
    }
    int flags = fcntl(fd, F_GETFL);
    if (!isatty(fd) || !take_exclusive_use(fd) || !configure_line(fd, speed) || flags < 0 ||
        fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) {
        close(fd);
        return VXP_ERROR;
    }
    vxp_serial_port* opened = malloc(sizeof *opened);
    if (opened == NULL) {
        close(fd);
        return VXP_ERROR;
    }
    opened->fd = fd;
    *port = opened;
    return VXP_OK;
}

uint16_t vxp_serial_close(vxp_serial_port* port) {
    if (port == NULL) {
        return VXP_ERROR;
    }
#ifdef TIOCNXCL
    (void)ioctl(port->fd, TIOCNXCL);
#endif
    close(port->fd); /* also releases the lock */
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
        ssize_t result = write(port->fd, bytes + sent, count - sent);
        if (result > 0) {
            sent += (uint32_t)result;
        } else if (result < 0 && errno == EINTR) {
            continue;
        } else {
            break;
        }
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
    /* The line is set to return at once, so this loop ends when the driver runs dry. */
    while (got < count) {
        ssize_t result = read(port->fd, buffer + got, count - got);
        if (result > 0) {
            got += (uint32_t)result;
        } else if (result < 0 && errno == EINTR) {
            continue;
        } else {
            break;
        }
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
    int waiting = 0;
    if (port == NULL || ioctl(port->fd, FIONREAD, &waiting) != 0 || waiting < 0) {
        return 0;
    }
    return (uint32_t)waiting;
}
