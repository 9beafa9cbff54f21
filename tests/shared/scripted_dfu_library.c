/* A small Bluetooth update library for the tests, written against korva_dfu.h as any library
 * author would: it stands for a module whose behaviour a test scripts (scriptedDfuScript), reads
 * the firmware file it is given, and journals every call the updater makes. One call can be made
 * to hang, as a broken library's would. Built a second time without hidDfuGetResult
 * (SCRIPTED_DFU_WITHOUT_RESULT), a library the loader must refuse, and a third time aborting as
 * it is loaded (SCRIPTED_DFU_ABORT_ON_LOAD), a library that kills whatever loads it. */
#include <stdatomic.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#ifdef _WIN32
#include <windows.h>
#else
#include <time.h>
#endif

#include "device/korva_dfu.h"

#ifdef SCRIPTED_DFU_ABORT_ON_LOAD
__attribute__((constructor)) static void AbortOnLoad(void) { abort(); }
#endif

enum { kProgressMax = 16, kJournalMax = 8192 };

static struct {
  int failedConnects; /* connection attempts that fail before one succeeds */
  int progress[kProgressMax];
  int progressCount;
  int result;
  int resetResult;
} script = {0, {0, 50, 99, 100}, 4, 0, 0};

static int connected;
static int attempts;
static int polls;
static long upgradedBytes = -1;
static const char* lastError = "";
static char journal[kJournalMax];

static void Journal(const char* call) {
  if (strlen(journal) + strlen(call) + 2 >= sizeof journal) return;
  if (journal[0]) strcat(journal, " ");
  strcat(journal, call);
}

/* The call that hangs: named by scriptedDfuHang, or, for a whole program run by a test, by the
 * environment variable SCRIPTED_DFU_HANG. Entering it counts (and creates the file that
 * SCRIPTED_DFU_ENTERED names, for a test in another process); it returns once released. */
static char hangCall[32];
static atomic_int hangEntered;
static atomic_int hangReleased;

static void Wait(void) {
#ifdef _WIN32
  Sleep(1);
#else
  const struct timespec oneMillisecond = {0, 1000000};
  nanosleep(&oneMillisecond, NULL);
#endif
}

static void MaybeHang(const char* call) {
  const char* wanted = hangCall[0] ? hangCall : getenv("SCRIPTED_DFU_HANG");
  const char* sign = getenv("SCRIPTED_DFU_ENTERED");
  if (!wanted || strcmp(wanted, call) != 0) return;
  atomic_fetch_add(&hangEntered, 1);
  if (sign) {
    FILE* file = fopen(sign, "w");
    if (file) fclose(file);
  }
  while (!atomic_load(&hangReleased)) Wait();
}

/* Test controls, beside the seven functions. */
KORVA_DFU_EXPORT void scriptedDfuScript(int failedConnects, const int* progress, int count,
                                        int result, int resetResult) {
  script.failedConnects = failedConnects;
  script.progressCount = count < kProgressMax ? count : kProgressMax;
  memcpy(script.progress, progress, sizeof(int) * (size_t)script.progressCount);
  script.result = result;
  script.resetResult = resetResult;
  connected = attempts = polls = 0;
  upgradedBytes = -1;
  lastError = "";
  journal[0] = '\0';
}
KORVA_DFU_EXPORT const char* scriptedDfuJournal(void) { return journal; }
/* Makes `call` ("connect", "progress", ...) hang until scriptedDfuRelease; NULL hangs nothing. */
KORVA_DFU_EXPORT void scriptedDfuHang(const char* call) {
  snprintf(hangCall, sizeof hangCall, "%s", call ? call : "");
  atomic_store(&hangEntered, 0);
  atomic_store(&hangReleased, 0);
}
/* How often the hanging call was entered. */
KORVA_DFU_EXPORT int scriptedDfuHangEntered(void) { return atomic_load(&hangEntered); }
KORVA_DFU_EXPORT void scriptedDfuRelease(void) { atomic_store(&hangReleased, 1); }
/* The length of the file that the last accepted update read; -1 before one. */
KORVA_DFU_EXPORT long scriptedDfuUpgradedBytes(void) { return upgradedBytes; }

int hidDfuConnect(unsigned short vendorId, unsigned short productId, int reserved1, int reserved2,
                  int* handle) {
  Journal("connect");
  MaybeHang("connect");
  if (vendorId != 0x0ECB || productId != 0x1EDC || reserved1 || reserved2) {
    lastError = "Unexpected arguments";
    return 1;
  }
  if (!handle || *handle != 0) {
    lastError = "The handle variable was not zeroed";
    return 1;
  }
  *handle = 1;
  if (connected) {
    lastError = "Already connected";
    return 1;
  }
  if (attempts++ < script.failedConnects) {
    lastError = "Module not found";
    return 1;
  }
  connected = 1;
  lastError = "";
  return 0;
}

const char* hidDfuGetLastError(void) {
  Journal("lasterror");
  return lastError;
}

int hidDfuUpgrade(const char* filePath, int reserved) {
  FILE* file;
  long length = 0;
  Journal("upgrade");
  if (!connected || reserved) return 1;
  file = fopen(filePath, "rb");
  if (!file) {
    lastError = "Cannot open the firmware file";
    return 1;
  }
  while (fgetc(file) != EOF) ++length;
  fclose(file);
  upgradedBytes = length;
  polls = 0;
  return 0;
}

int hidDfuGetProgress(void) {
  int last = script.progressCount - 1;
  Journal("progress");
  MaybeHang("progress");
  return script.progress[polls < last ? polls++ : last];
}

#ifndef SCRIPTED_DFU_WITHOUT_RESULT
int hidDfuGetResult(void) {
  Journal("result");
  return script.result;
}
#endif

int hidDfuResetDevice(void) {
  Journal("reset");
  return connected ? script.resetResult : 1;
}

int hidDfuDisconnect(void) {
  Journal("disconnect");
  if (!connected) return 1;
  connected = 0;
  return 0;
}
