/* korva_dfu.h: the contract between the KORVA Updater and a Bluetooth update library.
 *
 * Once the amp has handed its USB link to its Bluetooth module, the module shows up as a USB
 * device of its own (vendor 0x0ECB, product 0x1EDC) and its firmware is written by an update
 * library that the updater loads at run time. Such a library is a shared library (a .so here,
 * a .dll on Windows) that exports the seven functions below with C linkage and exactly these
 * signatures; it may export anything else besides. Compile it against this header, plain C or
 * C++, so that the compiler checks the signatures:
 *
 *     cc -shared -fPIC -fvisibility=hidden -o libkorva-dfu.so my_module.c
 *     x86_64-w64-mingw32-gcc -shared -o korva-dfu.dll my_module.c      (64-bit Windows)
 *
 * Where the updater looks for it: the README ("The Bluetooth update library").
 *
 * Results. Every function but hidDfuGetLastError returns an int; 0 means success, any other
 * value failure, except for hidDfuGetProgress, whose result is a percentage.
 *
 * Threads. The updater never makes two calls at the same time: each call returns before the
 * next one begins, and hidDfuConnect is followed by its hidDfuGetLastError with no other call
 * between them. The calls are made on a thread of the updater's own, but successive calls may
 * come from different threads (a new one after a call that did not return), so keep no
 * per-thread state. Never call back into the updater.
 *
 * Return promptly: every other call waits while one runs. The updater waits 5 seconds for a
 * probe's hidDfuConnect and 60 seconds for any other call; after a call that has not returned by
 * then (or that a user who asked the program to end no longer waits for), it makes no further
 * call into the library, and keeps it loaded until it ends.
 *
 * The calls the updater makes:
 *   probe:   hidDfuConnect, hidDfuGetLastError, hidDfuDisconnect (results unused), at any time
 *            while no update runs; and a lone hidDfuDisconnect when a window opens, which must
 *            be harmless when nothing is connected.
 *   update:  hidDfuConnect and hidDfuGetLastError, up to ten attempts one second apart (none
 *            when the library is still connected from an earlier update); hidDfuUpgrade;
 *            hidDfuGetProgress about every 100 ms until it returns 100; hidDfuGetResult;
 *            hidDfuResetDevice; hidDfuDisconnect (a second time when the first one failed).
 *            After a refused hidDfuUpgrade: hidDfuResetDevice, hidDfuDisconnect. After a
 *            failed update: hidDfuDisconnect only.
 *
 * The library is loaded once when the updater starts (the terminal program only for the
 * commands that may reach the module) and unloaded when it ends, after its last call has
 * returned.
 */
#ifndef KORVA_DFU_H
#define KORVA_DFU_H

#if defined(_WIN32)
#define KORVA_DFU_EXPORT __declspec(dllexport)
#define KORVA_DFU_CALL __cdecl
#else
#define KORVA_DFU_EXPORT __attribute__((visibility("default")))
#define KORVA_DFU_CALL
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Connects the library to the module with the USB identity vendorId:productId (the updater
 * passes 0x0ECB and 0x1EDC). reserved1 and reserved2 are always 0. handle points to an int
 * that the caller has set to 0; the library may write it during the call, and it is neither
 * read nor valid afterwards.
 * Returns 0 when connected; otherwise the reason is read with hidDfuGetLastError. A call while
 * the library is already connected either returns 0 or fails with the exact last-error text
 * "Already connected": both count as connected. */
KORVA_DFU_EXPORT int KORVA_DFU_CALL hidDfuConnect(unsigned short vendorId, unsigned short productId,
                                                  int reserved1, int reserved2, int* handle);

/* The reason for the last failure, as zero-terminated text that stays valid until the next
 * call into the library (the updater copies it at once). Never NULL; "" when there is none. */
KORVA_DFU_EXPORT const char* KORVA_DFU_CALL hidDfuGetLastError(void);

/* Starts writing the firmware file at filePath (a full path, zero-terminated, in the
 * platform's file name encoding) into the connected module. reserved is always 0.
 * Returns 0 when the update has started; it then runs on inside the library after the call
 * has returned. Any other value: nothing was started. */
KORVA_DFU_EXPORT int KORVA_DFU_CALL hidDfuUpgrade(const char* filePath, int reserved);

/* Progress of the running update in percent, 0 to 100, in the low 8 bits of the result.
 * 100 means the update has ended, whatever its outcome. A successful update must return 99
 * from at least one call before the first call that returns 100 (hold 99 while finishing and
 * move to 100 only after 99 has been read): the updater counts an update as successful only
 * when the value it read just before 100 was 99. A value outside 0 to 100 fails the update at
 * once; a value that stays the same for five minutes is taken as a module that stopped
 * answering, and an update that has not returned 100 after thirty minutes as one that will
 * never end: both fail the update. */
KORVA_DFU_EXPORT int KORVA_DFU_CALL hidDfuGetProgress(void);

/* Asked once hidDfuGetProgress has returned 100: 0 when the update succeeded. */
KORVA_DFU_EXPORT int KORVA_DFU_CALL hidDfuGetResult(void);

/* Restarts the module, which then gives the USB link back to the amp. 0 when restarted. */
KORVA_DFU_EXPORT int KORVA_DFU_CALL hidDfuResetDevice(void);

/* Closes the library's connection to the module. 0 when it was closed. */
KORVA_DFU_EXPORT int KORVA_DFU_CALL hidDfuDisconnect(void);

#ifdef __cplusplus
}
#endif

#endif /* KORVA_DFU_H */
