/* The instrument I/O component as a C interface: one function for the five operations.
 * Every call carries the full link settings; nothing is kept between calls. */
#ifndef ZUNO_HWIO_H
#define ZUNO_HWIO_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Operation codes. */
enum {
    HWIO_PING = 1,
    HWIO_SEND = 2,
    HWIO_QUERY = 3,
    HWIO_DOWNLOAD = 4,
    HWIO_LOCAL = 5
};

/* Status values; 0 is success. */
enum {
    HWIO_OK = 0,
    HWIO_BAD_ARGUMENT = 1,
    HWIO_CONNECT_FAILED = 2,
    HWIO_TIMEOUT = 3,
    HWIO_CONNECTION_LOST = 4,
    HWIO_BAD_REPLY = 5,
    HWIO_INSTRUMENT_ERROR = 6,
    HWIO_CANCELLED = 7,
    HWIO_NO_DRIVER = 8
};

/* Which fields of hwio_config are set; a field not set takes the component's default
 * (board 0, primary address 19, no secondary address, port 1, 9600 baud, Xon/Xoff). */
enum {
    HWIO_HAS_GPIB_BOARD = 1u << 0,
    HWIO_HAS_GPIB_PRIMARY = 1u << 1,
    HWIO_HAS_GPIB_SECONDARY = 1u << 2,
    HWIO_HAS_RS232_PORT = 1u << 3,
    HWIO_HAS_RS232_BAUDRATE = 1u << 4,
    HWIO_HAS_RS232_HANDSHAKE = 1u << 5,
    HWIO_HAS_TCPIP_ADDRESS = 1u << 6,
    HWIO_HAS_TCPIP_BOARD = 1u << 7
};

typedef struct hwio_config {
    const char* type; /* "GPIB", "RS232" or "TCPIP", any case */
    unsigned present; /* HWIO_HAS_* bits */
    int32_t gpib_board;
    int32_t gpib_primary;
    int32_t gpib_secondary; /* -1: none */
    int32_t rs232_port;     /* 1 is /dev/ttyS0 */
    int32_t rs232_baudrate;
    const char* rs232_handshake; /* "Xon/Xoff", "RTS/CTS" or "None" */
    const char* tcpip_address;   /* host, host:port, TCPIP0::host::port::SOCKET or, for VXI-11,
                                    TCPIP0::host[:portmapper port][::inst0]::INSTR */
    int32_t tcpip_board;
} hwio_config;

typedef struct hwio_waveform {
    const double* iq;        /* interleaved I, Q: 2 * count values */
    const uint8_t* marker1;  /* count values 0/1, or NULL */
    const uint8_t* marker2;  /* count values 0/1, or NULL */
    size_t count;
    const char* norm;        /* "norm": the largest I or Q magnitude becomes full scale */
    double scale;            /* fraction of full scale, 1 for all of it */
    const char* name;        /* waveform name in the instrument's memory */
} hwio_waveform;

/* `text` is the command (code 2) or query (code 3); `waveform` is used by code 4 only.
 * *response receives a text to free with hwio_free (never NULL). Returns the status. */
int32_t hwIO(int32_t code, const hwio_config* config, const char* text, const hwio_waveform* waveform,
             char** response);
void hwio_free(char* response);

#ifdef __cplusplus
}
#endif

#endif
