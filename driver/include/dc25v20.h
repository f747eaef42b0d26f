/*
 * Camera driver library interface (libdc25v20.so.1).
 *
 * The capture station reaches a DC20 or DC25 camera only through these seven functions.
 * The records are plain C structs owned by the caller; they point into each other and must
 * stay at fixed addresses while the library uses them. Every function returns a 16-bit
 * result: 0 on success, one of the negative DC25_E_* codes below on failure.
 */
#ifndef TESSEL_DC25V20_H
#define TESSEL_DC25V20_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* First argument of DC25_OpenDriver. */
typedef struct DC25DriverOpenInfo {
    uint16_t version;      /* 0x0200 */
    uint8_t area[34];      /* the library's own; CameraRecord.openArea points here */
} DC25DriverOpenInfo;

/* Second argument of DC25_OpenDriver, argument of DC25_CloseDriver. */
typedef struct DC25DriverRecord {
    uint32_t word0;        /* 1 */
    uint32_t word1;        /* 1 */
    uint32_t word2;        /* 0 */
    uint32_t word3;        /* 0 */
    uint32_t word4;        /* 0 */
} DC25DriverRecord;

/* First argument of every camera call. */
typedef struct DC25CameraRecord {
    DC25DriverRecord *driver;   /* the open driver */
    int32_t port;               /* 0 Auto, 1..4 COM1..COM4 */
    uint32_t one;               /* 1 */
    uint8_t *openArea;          /* &DriverOpenInfo.area */
    uint32_t handle;            /* the library's own (never written by the station) */
    int32_t model;              /* 102 DC20, 103 DC25 */
    int32_t speed;              /* baud / 100, 0 = Auto */
} DC25CameraRecord;

/* Filled by DC25_TakePicture and DC25_GetNativePicture. Only byteCount and bufferSize are
 * read by the station; every other word belongs to the library. */
typedef struct DC25PictureInfo {
    uint32_t pictureNumber;     /* camera's 1-based number of the picture just taken */
    uint32_t resolution;        /* 0 high, 1 low */
    uint32_t modelId;           /* 0x20 or 0x25, as the camera reports itself */
    uint32_t reserved12;
    uint32_t reserved16;
    uint32_t byteCount;         /* bytes of the native picture: the buffer's last byteCount bytes */
    uint32_t bufferSize;        /* bytes the caller must allocate for the download */
    uint32_t reserved28[6];
} DC25PictureInfo;

/* Where DC25_GetNativePicture puts the picture. */
typedef struct DC25PictureBuffer {
    uint8_t *data;              /* the caller's buffer */
    uint32_t size;              /* its size in bytes */
    uint32_t zero;              /* 0 */
} DC25PictureBuffer;

/* Result codes. */
enum {
    DC25_OK = 0,
    DC25_E_NO_SUCH_PORT = -1,      /* the serial device does not exist */
    DC25_E_PORT_BUSY = -2,         /* the port is in use by another program, or no permission */
    DC25_E_NO_ANSWER = -3,         /* the camera did not answer in time */
    DC25_E_REFUSED = -4,           /* the camera refused a command */
    DC25_E_CHECKSUM = -5,          /* a block stayed corrupt after all retries */
    DC25_E_UNSUPPORTED_SPEED = -6, /* speed code the cameras do not support */
    DC25_E_BUFFER_TOO_SMALL = -7,  /* PictureBuffer missing or smaller than the picture */
    DC25_E_BAD_CALL = -8,          /* call out of order, or a null or invalid argument */
    DC25_E_CAMERA_EMPTY = -9,      /* the camera holds no picture to download */
    DC25_E_PORT_LOST = -10         /* the port went away (adapter unplugged, hang-up) */
};

int16_t DC25_OpenDriver(DC25DriverOpenInfo *openInfo, DC25DriverRecord *driver);
int16_t DC25_OpenCamera(DC25CameraRecord *camera);
int16_t DC25_TakePicture(DC25CameraRecord *camera, int32_t reserved1, int32_t reserved2,
                         DC25PictureInfo *picture, int32_t reserved3);
int16_t DC25_GetNativePicture(DC25CameraRecord *camera, int32_t reserved, DC25PictureInfo *picture,
                              DC25PictureBuffer *buffer, uint32_t *downloadWord);
int16_t DC25_DeletePicture(DC25CameraRecord *camera, int32_t reserved, int32_t picture);
int16_t DC25_CloseCamera(DC25CameraRecord *camera);
int16_t DC25_CloseDriver(DC25DriverRecord *driver);

#ifdef __cplusplus
} /* extern "C" */

#include <cstddef>

/* The records are a binary interface: their layout is fixed. */
static_assert(sizeof(DC25DriverOpenInfo) == 36 && offsetof(DC25DriverOpenInfo, area) == 2);
static_assert(sizeof(DC25DriverRecord) == 20 && offsetof(DC25DriverRecord, word4) == 16);
static_assert(sizeof(DC25PictureInfo) == 52);
static_assert(offsetof(DC25PictureInfo, byteCount) == 20 && offsetof(DC25PictureInfo, bufferSize) == 24);
#if UINTPTR_MAX == 0xFFFFFFFFu
static_assert(offsetof(DC25CameraRecord, port) == 4 && offsetof(DC25CameraRecord, one) == 8);
static_assert(offsetof(DC25CameraRecord, openArea) == 12 && offsetof(DC25CameraRecord, handle) == 16);
static_assert(offsetof(DC25CameraRecord, model) == 20 && offsetof(DC25CameraRecord, speed) == 24);
static_assert(sizeof(DC25CameraRecord) == 28);
static_assert(offsetof(DC25PictureBuffer, size) == 4 && offsetof(DC25PictureBuffer, zero) == 8);
static_assert(sizeof(DC25PictureBuffer) == 12);
#else
static_assert(offsetof(DC25CameraRecord, port) == 8 && offsetof(DC25CameraRecord, one) == 12);
static_assert(offsetof(DC25CameraRecord, openArea) == 16 && offsetof(DC25CameraRecord, handle) == 24);
static_assert(offsetof(DC25CameraRecord, model) == 28 && offsetof(DC25CameraRecord, speed) == 32);
static_assert(sizeof(DC25CameraRecord) == 40);
static_assert(offsetof(DC25PictureBuffer, size) == 8 && offsetof(DC25PictureBuffer, zero) == 12);
static_assert(sizeof(DC25PictureBuffer) == 16);
#endif
#endif /* __cplusplus */

#endif /* TESSEL_DC25V20_H */
