"""Builds tessera._native, the cffi extension over libtessera's C interface.

The declarations below name the functions and records the package uses; the
records' layout, the constants' values and the catalogue's lists (methods,
result codes, notification types, failure codes) come from tessera.h and
tessera_catalogue.h themselves when the extension is compiled, so an entry
added there reaches Python without an edit here.

Where the header and library are found: the header in TESSERA_INCLUDE_DIR
when set, else in the source tree around this folder when it holds one, else
on the compiler's default paths (an installed libtessera-dev); the library in
TESSERA_LIBRARY_DIR when set (a build tree's lib folder), else on the
linker's default paths.
"""

import os
import re

from cffi import FFI

HERE = os.path.dirname(os.path.abspath(__file__))


def _include_dir() -> str:
    given = os.environ.get("TESSERA_INCLUDE_DIR")
    if given:
        return given
    tree = os.path.join(HERE, "..", "include")
    if os.path.exists(os.path.join(tree, "tessera.h")):
        return os.path.normpath(tree)
    return ""


def _header_text(include_dir: str) -> str:
    for folder in ([include_dir] if include_dir else []) + ["/usr/local/include", "/usr/include"]:
        path = os.path.join(folder, "tessera.h")
        if os.path.exists(path):
            with open(path, encoding="utf-8") as header:
                return header.read()
    raise RuntimeError("tessera.h not found: install libtessera-dev or set TESSERA_INCLUDE_DIR")


def header_version() -> str:
    """The interface version the header states, as "major.minor.patch"."""
    header = _header_text(_include_dir())
    parts = [re.search(rf"^#define TESSERA_VERSION_{part} (\d+)", header, re.MULTILINE)
             for part in ("MAJOR", "MINOR", "PATCH")]
    if not all(parts):
        raise RuntimeError("tessera.h states no version")
    return ".".join(match.group(1) for match in parts if match)


CDEF = """
#define VPKI_OK ...
#define VPKI_ERR_INTERRUPTED ...
#define VPKI_ERR_IN_CALLBACK ...
#define VPKI_JSON_CAPACITY ...
#define VPKI_SIGN_OK ...
#define VPKI_ECC_SIGNATURE_SIZE ...
#define VPKI_RSA_SIGNATURE_MAX ...

typedef struct vpkiByteArray { char* data; int64_t size; ...; } vpkiByteArray;
typedef struct vpkiAsyncRequest { int32_t reqid; int32_t msgType; ...; } vpkiAsyncRequest;
typedef struct vpkiReq {
    int32_t reqid; int32_t msgType; int32_t version; int64_t extend;
    char jsonBody[...]; vpkiByteArray* body; ...;
} vpkiReq;
typedef struct vpkiResp {
    int32_t respid; int32_t msgType; int32_t version; int32_t errCode; int64_t extend;
    char jsonBody[...]; vpkiByteArray* body; ...;
} vpkiResp;
typedef struct vpkiAsyncMsg { int type; vpkiAsyncRequest* req; void* param; ...; } vpkiAsyncMsg;

typedef void (*agentNotifyFunc)(vpkiResp* resp, void* param);
typedef void (*agentRespCB)(void* msg, vpkiResp* resp, void* param);

bool createAgent(agentNotifyFunc notifyFunc, agentRespCB respCB, void* notifyParam);
bool loginAgent(const char* appName, const char* appID, const char* token);
bool logoutAgent(void);
bool reqSync(int service, const vpkiReq* req, vpkiResp* resp);
int32_t reqAsync(int service, const vpkiReq* req, void* param);
void releaseAgent(void);
uint32_t rsaSignData(const char* url, const unsigned char* data, uint32_t dataLen,
                     unsigned char* signature, uint32_t* signatureLen);
uint32_t eccSignData(const char* url, const unsigned char* data, uint32_t dataLen,
                     unsigned char* signature);
int agentLastError(void);
const char* agentLastErrorText(void);
const char* agentErrorString(int code);
bool setAgentMaxConnections(int n);
vpkiReq* vpkiReqNew(void);
void vpkiReqFree(vpkiReq* req);
bool vpkiReqSetBody(vpkiReq* req, const char* text, size_t length);
vpkiResp* vpkiRespNew(void);
void vpkiRespFree(vpkiResp* resp);
const char* vpkiRespText(const vpkiResp* resp, size_t* length);
const char* tesseraVersion(int* major, int* minor, int* patch);

struct tesseraPyMethod { int service; const char* serviceName; const char* name; int msgType; };
struct tesseraPyNotification { const char* name; int msgType; const char* contractName; const char* meaning; };
struct tesseraPyResult { const char* name; int code; const char* meaning; };
struct tesseraPyError { const char* name; int code; const char* text; };
extern const struct tesseraPyMethod tesseraPyMethods[];
extern const int tesseraPyMethodCount;
extern const struct tesseraPyNotification tesseraPyNotifications[];
extern const int tesseraPyNotificationCount;
extern const struct tesseraPyResult tesseraPyResults[];
extern const int tesseraPyResultCount;
extern const struct tesseraPyError tesseraPyErrors[];
extern const int tesseraPyErrorCount;

extern "Python" void tesseraPyOnNotify(vpkiResp* resp, void* param);
extern "Python" void tesseraPyOnResponse(void* msg, vpkiResp* resp, void* param);
"""

# The catalogue's X-macro lists expanded into tables (a method that no message
# type selects gets -1).
SOURCE = """
#include <tessera.h>

struct tesseraPyMethod { int service; const char* serviceName; const char* name; int msgType; };
struct tesseraPyNotification { const char* name; int msgType; const char* contractName; const char* meaning; };
struct tesseraPyResult { const char* name; int code; const char* meaning; };
struct tesseraPyError { const char* name; int code; const char* text; };

#define TESSERA_PY_METHOD(service, method, msgType) {service##SERVICE, #service, #method, msgType},
#define TESSERA_PY_UNSELECTABLE(service, method) {service##SERVICE, #service, #method, -1},
#define TESSERA_PY_NOTIFICATION(name, msgType, contractName, meaning) {#name, msgType, #contractName, meaning},
#define TESSERA_PY_RESULT(name, code, meaning) {#name, code, meaning},
#define TESSERA_PY_ERROR(name, code, text) {#name, code, text},

const struct tesseraPyMethod tesseraPyMethods[] = {VPKI_METHODS(TESSERA_PY_METHOD, TESSERA_PY_UNSELECTABLE)};
const int tesseraPyMethodCount = sizeof tesseraPyMethods / sizeof tesseraPyMethods[0];
const struct tesseraPyNotification tesseraPyNotifications[] = {VPKI_NOTIFICATIONS(TESSERA_PY_NOTIFICATION)};
const int tesseraPyNotificationCount = sizeof tesseraPyNotifications / sizeof tesseraPyNotifications[0];
const struct tesseraPyResult tesseraPyResults[] = {VPKI_RESULTS(TESSERA_PY_RESULT)};
const int tesseraPyResultCount = sizeof tesseraPyResults / sizeof tesseraPyResults[0];
const struct tesseraPyError tesseraPyErrors[] = {VPKI_ERRORS(TESSERA_PY_ERROR)};
const int tesseraPyErrorCount = sizeof tesseraPyErrors / sizeof tesseraPyErrors[0];
"""


def _builder() -> FFI:
    include_dir = _include_dir()
    builder = FFI()
    builder.cdef(CDEF)
    library_dir = os.environ.get("TESSERA_LIBRARY_DIR")
    builder.set_source(
        "tessera._native",
        SOURCE,
        libraries=["tessera"],
        include_dirs=[include_dir] if include_dir else [],
        library_dirs=[library_dir] if library_dir else [],
        extra_link_args=["-Wl,-z,relro,-z,now"],
    )
    return builder


ffibuilder = _builder()

if __name__ == "__main__":
    # python3 tessera_build.py OUTDIR: the extension into OUTDIR/tessera.
    import sys

    ffibuilder.compile(tmpdir=sys.argv[1] if len(sys.argv) > 1 else ".", verbose=False)
