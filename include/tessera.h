/** @file
 * tessera.h - client interface of the local PKI service.
 *
 * An application creates the agent once, logs in with its application name,
 * id and token, and then sends requests to the service's enrolment, device,
 * signing and secure-mail services, synchronously (reqSync) or through the
 * library's worker (reqAsync). Device and session events arrive at the
 * notification callback. There is one agent per process and no handle: every
 * function works on the process-wide agent.
 *
 * The library sends the application's credentials, and takes the answers
 * (signatures included), only from a service whose port belongs to root, a
 * system account (below UID_MIN of /etc/login.defs) or the process's own
 * user: on a machine with several users, anyone could otherwise listen on
 * 127.0.0.1:18080 while the real service is down. Each new connection's other
 * end is looked up in the kernel's socket table before its first byte is
 * sent; a service of another ordinary user fails the call with
 * VPKI_ERR_UNTRUSTED_SERVICE and receives nothing. Where the kernel's table
 * cannot be read at all, the connection goes on (the debug hook says so).
 *
 * Every function below is documented in the same form:
 *   what it does; parameters; results; thread-safety; callbacks (whether it
 *   may be called from inside one of the library's callbacks).
 */
#ifndef TESSERA_H
#define TESSERA_H

#include <stdint.h>
#include <string.h>

/* Message types of the services' methods, result codes, notification types. */
#include "tessera_catalogue.h"

#ifdef __cplusplus
#include <string>
#else
#include <stdbool.h>
#endif

#if defined(TESSERA_BUILDING_LIBRARY)
#define TESSERA_API __attribute__((visibility("default")))
#else
#define TESSERA_API
#endif

/** Version of this interface. */
#define TESSERA_VERSION_MAJOR 0
#define TESSERA_VERSION_MINOR 3
#define TESSERA_VERSION_PATCH 0

/** Capacity of the text field of vpkiReq and vpkiResp, terminating zero included. */
#define VPKI_JSON_CAPACITY 8192

/**
 * Longest text vpkiReqSetBody puts in a request's body: 256 MiB, as much as
 * the library accepts in a reply.
 */
#define VPKI_REQUEST_BODY_MAX ((size_t)256 * 1024 * 1024)

/** Results of rsaSignData and eccSignData. */
#define VPKI_SIGN_OK 0u
#define VPKI_SIGN_FAILED 0x0A000001u

/** Size of the signature block written by eccSignData: r then s, 64 bytes each. */
#define VPKI_ECC_SIGNATURE_SIZE 128

/** Largest signature rsaSignData writes; a buffer of this size always suffices. */
#define VPKI_RSA_SIGNATURE_MAX 4095

/**
 * Largest data length the signing shortcuts accept when the three key names are
 * empty: the request body holds at most 1023 characters, of which the fixed
 * text takes 62, leaving 961 for the names and the Base64 text of the data.
 * Longer names leave less room; a call that does not fit is refused with
 * VPKI_SIGN_FAILED before anything is sent.
 */
#define VPKI_SIGN_DATA_MAX 720

/*
 * Why a call failed: the codes of agentLastError, VPKI_OK and the VPKI_ERR_
 * constants of enum vpkiError, made from the list VPKI_ERRORS of
 * tessera_catalogue.h. Each call of this interface sets the calling thread's
 * code, VPKI_OK when it succeeded, but for those whose entries below say
 * that they leave it as it is.
 */

/** Target service of reqSync and reqAsync. */
enum PKI_SERVICE {
    ENROLLSERVICE = 0, /**< enrolment: key pairs, certificate requests, imports */
    DEVSERVICE = 1,    /**< devices, PINs, applications, containers, keys */
    SIGNXSERVICE = 2,  /**< signatures, signed messages, envelopes */
    VMAILSERVICE = 3   /**< secure mail */
};

#ifdef __cplusplus

namespace vant {

/**
 * Growable byte buffer, always followed by a zero byte so that its content can
 * be read as a zero-terminated string. data is null exactly when size is 0.
 * Not copyable: a copy would share the owned bytes.
 */
class CByteArray {
public:
    CByteArray() : data(nullptr), size(0) {}
    ~CByteArray() { release(); }
    CByteArray(const CByteArray&) = delete;
    CByteArray& operator=(const CByteArray&) = delete;

    /** Number of content bytes (the trailing zero byte not counted). */
    int64_t getSize() const { return size; }

    /** First content byte, or null when the buffer is empty. */
    char* getData() { return data; }
    const char* getData() const { return data; }

    /**
     * Resizes to n content bytes followed by a zero byte.
     * n < 0: throws the C string "InvalidArgExcption"; the buffer is unchanged.
     * n == 0: the buffer becomes empty.
     * n < current size: the content is dropped; n zero bytes remain.
     * otherwise: the content is kept and the new bytes are zero.
     * Throws std::bad_alloc when memory runs out (the buffer is then unchanged).
     */
    void setSize(int64_t n)
    {
        if (n < 0)
            throw "InvalidArgExcption";
        if (n == 0) {
            release();
            return;
        }
        char* fresh = new char[static_cast<size_t>(n) + 1]();
        if (data != nullptr && n >= size)
            memcpy(fresh, data, static_cast<size_t>(size));
        delete[] data;
        data = fresh;
        size = n;
    }

    /** The content up to its first zero byte; empty when the buffer is empty. */
    std::string getDataString() const { return data == nullptr ? std::string() : std::string(data); }

private:
    void release()
    {
        delete[] data;
        data = nullptr;
        size = 0;
    }

    char* data;
    int64_t size;
};

/**
 * A queued asynchronous request, as the response callback sees it through
 * vpkiAsyncMsg::req. reqid is the id that reqAsync returned. Not copyable; a
 * move hands the body buffer over and leaves the source without one.
 */
struct stRequest {
    int32_t reqid;
    int32_t msgType;
    int32_t version;
    int64_t extend;
    CByteArray* body;

    stRequest() : reqid(0), msgType(0), version(0), extend(0), body(new CByteArray) {}
    ~stRequest()
    {
        delete body;
        body = nullptr;
    }
    stRequest(const stRequest&) = delete;
    stRequest& operator=(const stRequest&) = delete;
    stRequest& operator=(stRequest&& other) noexcept
    {
        if (this != &other) {
            reqid = other.reqid;
            msgType = other.msgType;
            version = other.version;
            extend = other.extend;
            delete body;
            body = other.body;
            other.body = nullptr;
        }
        return *this;
    }
};

} /* namespace vant */

typedef vant::CByteArray vpkiByteArray;
typedef vant::stRequest vpkiAsyncRequest;

#else /* C */

/**
 * What C sees of the C++ classes above, member for member: a byte buffer
 * (data null exactly when size is 0; a zero byte follows the content) and a
 * queued asynchronous request. Read them; only the library creates them.
 */
typedef struct vpkiByteArray {
    char* data;
    int64_t size;
} vpkiByteArray;

typedef struct vpkiAsyncRequest {
    int32_t reqid;
    int32_t msgType;
    int32_t version;
    int64_t extend;
    vpkiByteArray* body;
} vpkiAsyncRequest;

#endif /* __cplusplus */

/**
 * Request record, filled by the application. The text in jsonBody is sent when
 * its first byte is not 0; otherwise the content of body up to its first zero
 * byte. reqid is for the application's own use; the library never reads it.
 * C++ gives every record a body buffer; a C caller either zeroes the record
 * (body null) and uses jsonBody alone, or takes a record with a body buffer
 * from vpkiReqNew and fills it with vpkiReqSetBody.
 */
typedef struct vpkiReq {
    int32_t reqid;
    int32_t msgType; /**< selects the service method; see tessera_catalogue.h */
    int32_t version;
    int64_t extend;
    char jsonBody[VPKI_JSON_CAPACITY];
    vpkiByteArray* body; /**< owned; for texts of any length; may be null */
#ifdef __cplusplus
    vpkiReq() : reqid(0), msgType(0), version(0), extend(0), body(new vant::CByteArray)
    {
        memset(jsonBody, 0, sizeof jsonBody);
    }
    ~vpkiReq()
    {
        delete body;
        body = nullptr;
    }
    vpkiReq(const vpkiReq&) = delete;
    vpkiReq& operator=(const vpkiReq&) = delete;
#endif
} vpkiReq;

/**
 * Response record, filled by the library. jsonBody holds the first 8191
 * characters of the response text; body, when the record has one, holds the
 * whole text and a zero byte (body->getSize() is the text length + 1). A
 * record whose body is null (a zeroed C record) gets jsonBody alone. A C
 * caller takes a record with a body buffer from vpkiRespNew and reads the
 * whole text with vpkiRespText.
 */
typedef struct vpkiResp {
    int32_t respid;
    int32_t msgType;
    int32_t version;
    int32_t errCode; /**< the service's result code, passed on unchanged */
    int64_t extend;
    char jsonBody[VPKI_JSON_CAPACITY];
    vpkiByteArray* body; /**< owned; may be null */
#ifdef __cplusplus
    vpkiResp() : respid(0), msgType(0), version(0), errCode(0), extend(0), body(new vant::CByteArray)
    {
        memset(jsonBody, 0, sizeof jsonBody);
    }
    ~vpkiResp()
    {
        delete body;
        body = nullptr;
    }
    vpkiResp(const vpkiResp&) = delete;
    vpkiResp& operator=(const vpkiResp&) = delete;
#endif
} vpkiResp;

/**
 * The record that the first argument of agentRespCB points to. type is the
 * PKI_SERVICE given to reqAsync, req the queued request (req->reqid is the id
 * reqAsync returned), param the param given to reqAsync. Valid only during the
 * callback.
 */
typedef struct vpkiAsyncMsg {
    int type;
    vpkiAsyncRequest* req;
    void* param;
} vpkiAsyncMsg;

/** The id that reqAsync returned for the request a response callback reports. */
static inline int32_t vpkiAsyncReqId(const void* msg)
{
#ifdef __cplusplus
    return static_cast<const vpkiAsyncMsg*>(msg)->req->reqid;
#else
    return ((const vpkiAsyncMsg*)msg)->req->reqid;
#endif
}

/**
 * Notification callback: one call per event (device inserted, removed or
 * modified, session closed), on the library's notification thread, in the
 * order the service reported them. resp and its buffers live only during the
 * call; copy what you keep. param is the notifyParam given to createAgent.
 * resp->msgType tells the event: one of the VPKI_NOTIFY_ types.
 */
typedef void (*agentNotifyFunc)(vpkiResp* resp, void* param);

/**
 * Response callback: one call per request accepted by reqAsync, on the
 * library's worker thread, in the order the requests were accepted. msg points
 * to a vpkiAsyncMsg (see vpkiAsyncReqId). When the request failed, resp is as
 * freshly constructed (all numbers 0, empty texts). All three pointers are
 * valid only during the call; param is the param given to reqAsync.
 */
typedef void (*agentRespCB)(void* msg, vpkiResp* resp, void* param);

#ifdef __cplusplus
extern "C" {
#endif

/**
 * createAgent - set the agent up: store the callbacks, start the worker that
 * carries asynchronous requests, and build (not open) the connection to the
 * service on 127.0.0.1:18080. Does not contact the service.
 *
 * @param notifyFunc  notification callback, or null to receive no notifications.
 * @param respCB      response callback of reqAsync, or null to discard responses.
 * @param notifyParam passed unchanged to every notifyFunc call. A repeated
 *                    createAgent replaces the callbacks but keeps the first
 *                    notifyParam until releaseAgent.
 *
 * @return true when the agent is set up; false when the worker or the
 * connection could not be set up (everything set up is undone).
 *
 * @par Thread-safety
 * call from one thread, not concurrently with any other
 * function of this interface.
 * @par Callbacks
 * must not be called from a callback: there it returns false at once,
 * changing nothing (VPKI_ERR_IN_CALLBACK).
 */
TESSERA_API bool createAgent(agentNotifyFunc notifyFunc, agentRespCB respCB, void* notifyParam);

/**
 * loginAgent - open a session with the service. On acceptance the session
 * ticket is stored, requests are accepted from now on, and the notification
 * thread starts. A login while logged in replaces the session.
 *
 * @param appName the application's name: at most 64 characters, not null (an
 *                empty string is allowed).
 * @param appID   the application's id, the same.
 * @param token   the application's token, the same.
 *
 * @return true when the service accepted the login and the notification side
 * is up. Returns false, with nothing sent, for a null or over-long argument
 * or when called before createAgent or after releaseAgent; false when the
 * service cannot be reached, times out (15 s), refuses (the line
 * "login failure." is written to standard output), or answers without a
 * complete session. A refused or failed login changes nothing stored.
 *
 * @par Thread-safety
 * safe from any thread; waits for a free request connection.
 * @par Callbacks
 * may be called from a callback.
 */
TESSERA_API bool loginAgent(const char* appName, const char* appID, const char* token);

/**
 * logoutAgent - end the session. New requests are refused from now on,
 * whatever the outcome; the notification thread ends by itself.
 *
 * @return true when the service received the logout; false when it could not
 * be reached or the agent was never created (requests are refused all the
 * same).
 *
 * @par Thread-safety
 * safe from any thread; waits for a free request connection.
 * @par Callbacks
 * may be called from a callback.
 */
TESSERA_API bool logoutAgent(void);

/**
 * reqSync - send one request and wait for the service's answer.
 *
 * @param service target service; a value outside 0..3 fails.
 * @param req     the request; the library does not keep it.
 * @param resp    filled with the answer on success; untouched on failure.
 *
 * @return true when the service answered: resp holds the answer, whose
 * errCode is the service's verdict (a message type that the service has no
 * method for is answered locally with an empty response). Returns false when
 * not logged in, for a null argument or an unknown service, and when the
 * exchange failed (service unreachable, 15 s time-out, an exception or a
 * malformed reply from the service).
 *
 * @par Thread-safety
 * safe from any thread; one exchange runs at a time on each request
 * connection (one by default: setAgentMaxConnections), the others wait.
 * @par Callbacks
 * may be called from a callback.
 */
TESSERA_API bool reqSync(enum PKI_SERVICE service, const vpkiReq* req, vpkiResp* resp);

/**
 * reqAsync - queue one request for the library's worker, which sends it and
 * hands the answer to the response callback of createAgent.
 *
 * @param service target service; any value is queued, an unknown one reaches
 *                the callback with an empty response.
 * @param req     the request; copied at once, the application may reuse it.
 * @param param   passed unchanged to the response callback.
 *
 * @return the request's id (non-zero, also found by vpkiAsyncReqId in the
 * callback); 0 when not logged in, for a null req, or when the request could
 * not be queued. Every non-zero id gets exactly one callback.
 *
 * @par Thread-safety
 * safe from any thread.
 * @par Callbacks
 * may be called from a callback; the request queues behind those
 * already waiting.
 */
TESSERA_API int32_t reqAsync(enum PKI_SERVICE service, const vpkiReq* req, void* param);

/**
 * releaseAgent - stop the agent: refuse new requests, end the notification
 * thread, and stop the worker after it has handed every queued request to the
 * response callback with an empty response. Returns within about a second
 * whatever the service does. Does not log out. createAgent may follow.
 *
 * @par Thread-safety
 * call from one thread, not concurrently with any other
 * function of this interface.
 * @par Callbacks
 * must not be called from a callback (the thread would wait for
 * itself): there it returns at once, changing nothing, with
 * agentLastError VPKI_ERR_IN_CALLBACK.
 */
TESSERA_API void releaseAgent(void);

/**
 * rsaSignData - sign data with an RSA key on a device.
 *
 * @param url          key location, a JSON object with the string members
 *                     "devId", "applicationName" and "containerName".
 * @param data         the bytes to sign (may be null when dataLen is 0).
 * @param dataLen      their count; see VPKI_SIGN_DATA_MAX.
 * @param signature    receives the signature; VPKI_RSA_SIGNATURE_MAX bytes
 *                     suffice.
 * @param signatureLen receives the signature's length.
 *
 * @return VPKI_SIGN_OK, or VPKI_SIGN_FAILED with both outputs untouched: bad
 * or null arguments, data too long, not logged in (the line
 * "call reqSync failrue for rsaSignData." is written to standard output when
 * the request could not be carried), or an answer without a valid signature.
 *
 * @par Thread-safety
 * safe from any thread.
 * @par Callbacks
 * may be called from a callback.
 */
TESSERA_API uint32_t rsaSignData(const char* url, const unsigned char* data, uint32_t dataLen, unsigned char* signature,
                                 uint32_t* signatureLen);

/**
 * eccSignData - sign data with an ECC key on a device.
 *
 * @param url       as for rsaSignData.
 * @param data      as for rsaSignData.
 * @param dataLen   as for rsaSignData.
 * @param signature receives VPKI_ECC_SIGNATURE_SIZE bytes: the signature
 *                  block as the service sent it (r in the first 64 bytes,
 *                  s in the last 64, each right-aligned by the service); a
 *                  shorter answer is passed on as it is, zero-padded at
 *                  the end.
 *
 * @return VPKI_SIGN_OK, or VPKI_SIGN_FAILED with the output untouched (as for
 * rsaSignData, but nothing is written to standard output).
 *
 * @par Thread-safety
 * safe from any thread.
 * @par Callbacks
 * may be called from a callback.
 */
TESSERA_API uint32_t eccSignData(const char* url, const unsigned char* data, uint32_t dataLen,
                                 unsigned char* signature);

/**
 * agentLastError - why the calling thread's last call of this interface
 * failed. Every function above sets it, success included; on the library's
 * worker thread it is set before the response callback runs, so that the
 * callback can ask why its request failed.
 *
 * @return VPKI_OK after a call that succeeded, otherwise one of the
 * VPKI_ERR_ codes. A thread that has made no call gets VPKI_OK.
 *
 * @par Thread-safety
 * safe from any thread; each thread has its own.
 * @par Callbacks
 * may be called from a callback.
 */
TESSERA_API int agentLastError(void);

/**
 * agentLastErrorText - the calling thread's last failure in one line of text,
 * with the detail the code leaves out ("HTTP 503", "service exception: no
 * such device", "cannot connect to 127.0.0.1:18080: Connection refused").
 *
 * @return "" after a call that succeeded. The text stays valid until the
 * thread's next call of this interface.
 *
 * @par Thread-safety
 * safe from any thread; each thread has its own.
 * @par Callbacks
 * may be called from a callback.
 */
TESSERA_API const char* agentLastErrorText(void);

/**
 * agentErrorString - a short fixed description of a code of agentLastError
 * ("cannot connect"), like strerror.
 *
 * @param code a code of agentLastError.
 *
 * @return the description; "unknown error" for a value that is no code.
 *
 * @par Thread-safety
 * safe from any thread.
 * @par Callbacks
 * may be called from a callback.
 */
TESSERA_API const char* agentErrorString(int code);

/**
 * setAgentMaxConnections - set how many request connections the library may
 * keep open at once. With 1 (the default) every exchange (reqSync,
 * reqAsync's worker, the signing shortcuts, logins and logouts, the
 * notification thread's automatic login) waits for the one before it: the
 * only behaviour that a service serving one connection at a time can
 * answer. With n > 1, an exchange that finds every open connection busy
 * opens another, up to n, and waits only while n are busy, so that a fast
 * request is not held up behind a slow one (a signature on a card, a PIN
 * dialog). Each connection has its own time-out and owner check. Lowering
 * the number closes the connections beyond it once they are idle.
 *
 * @param n the number of request connections, 1 to 16.
 *
 * @return true when the setting took effect; false (VPKI_ERR_BAD_ARGUMENT)
 * for a value outside 1..16, changing nothing.
 *
 * @par Thread-safety
 * safe from any thread, at any time, also before createAgent or
 * while exchanges run; it stays in force across releaseAgent and createAgent.
 * @par Callbacks
 * may be called from a callback.
 */
TESSERA_API bool setAgentMaxConnections(int n);

/**
 * vpkiReqNew - make a request record as C++'s constructor does: every number
 * 0, jsonBody empty, and an empty body buffer for vpkiReqSetBody. It serves
 * reqSync and reqAsync like any other record.
 *
 * @return the record, to be freed with vpkiReqFree; null when memory runs
 * out (VPKI_ERR_NO_RESOURCES).
 *
 * @par Thread-safety
 * safe from any thread, at any time, also before createAgent.
 * @par Callbacks
 * may be called from any callback, the log callback included.
 */
TESSERA_API vpkiReq* vpkiReqNew(void);

/**
 * vpkiReqFree - free a record of vpkiReqNew and its body buffer.
 *
 * @param req the record, or null (nothing is done).
 *
 * Returns nothing; it cannot fail and leaves the last error as it is.
 *
 * @par Thread-safety
 * safe from any thread; not while a call of this interface uses the record.
 * @par Callbacks
 * may be called from any callback, the log callback included.
 */
TESSERA_API void vpkiReqFree(vpkiReq* req);

/**
 * vpkiReqSetBody - put a text of any length in a request: copies it into the
 * record's body buffer and clears jsonBody, so that the body is what
 * reqSync and reqAsync send.
 *
 * @param req    a record with a body buffer (from vpkiReqNew, or C++'s).
 * @param text   the text; may be null when length is 0.
 * @param length its number of bytes, at most VPKI_REQUEST_BODY_MAX; the text
 *               needs no terminating zero and may hold none.
 *
 * @return true when the record holds the text. False, with the record
 * unchanged, for a null record, a null text of non-zero length, a record
 * without a body buffer (a zeroed C record), a text holding a zero byte (it
 * would be cut there when sent) or one that is too long
 * (VPKI_ERR_BAD_ARGUMENT), and when memory runs out (VPKI_ERR_NO_RESOURCES).
 *
 * @par Thread-safety
 * safe from any thread; not while another thread uses the record.
 * @par Callbacks
 * may be called from any callback, the log callback included.
 */
TESSERA_API bool vpkiReqSetBody(vpkiReq* req, const char* text, size_t length);

/**
 * vpkiRespNew - make a response record as C++'s constructor does: every
 * number 0, jsonBody empty, and an empty body buffer that reqSync fills with
 * the whole answer.
 *
 * @return the record, to be freed with vpkiRespFree; null when memory runs
 * out (VPKI_ERR_NO_RESOURCES).
 *
 * @par Thread-safety
 * safe from any thread, at any time, also before createAgent.
 * @par Callbacks
 * may be called from any callback, the log callback included.
 */
TESSERA_API vpkiResp* vpkiRespNew(void);

/**
 * vpkiRespFree - free a record of vpkiRespNew and its body buffer.
 *
 * @param resp the record, or null (nothing is done).
 *
 * Returns nothing; it cannot fail and leaves the last error as it is.
 *
 * @par Thread-safety
 * safe from any thread; not while a call of this interface uses the record.
 * @par Callbacks
 * may be called from any callback, the log callback included.
 */
TESSERA_API void vpkiRespFree(vpkiResp* resp);

/**
 * vpkiRespText - the whole text of a response: the body's when the record
 * has a body holding one, else jsonBody (of a zeroed C record, or of a
 * record not filled yet).
 *
 * @param resp   the record; any record, also the one a callback receives.
 * @param length where the text's length is stored (the trailing zero not
 *               counted), or null.
 *
 * @return the text, zero-terminated, valid while the record is unchanged;
 * null for a null record (VPKI_ERR_BAD_ARGUMENT, length untouched). A text
 * returned leaves the last error as it is: a response callback may read its
 * record and still ask why its request failed.
 *
 * @par Thread-safety
 * safe from any thread; not while another thread fills the record.
 * @par Callbacks
 * may be called from any callback, the log callback included.
 */
TESSERA_API const char* vpkiRespText(const vpkiResp* resp, size_t* length);

/**
 * tesseraVersion - the version of the library that is loaded, which may be
 * newer than the TESSERA_VERSION_ macros the application was compiled with.
 *
 * @param major where the major number is stored, or null.
 * @param minor where the minor number is stored, or null.
 * @param patch where the patch number is stored, or null.
 *
 * @return the version as text, "MAJOR.MINOR.PATCH" in decimal, valid as
 * long as the library is loaded. It cannot fail and leaves the last error as
 * it is.
 *
 * @par Thread-safety
 * safe from any thread, at any time, also before createAgent.
 * @par Callbacks
 * may be called from any callback, the log callback included.
 */
TESSERA_API const char* tesseraVersion(int* major, int* minor, int* patch);

/**
 * Log callback: one line of text per event, without a line end. param is the
 * param given to setAgentLogger. Called on whichever thread the event happens
 * on (application threads, the worker, the notification thread), possibly in
 * the middle of an exchange; it must return quickly and must not call this
 * interface: there every function fails at once, changing nothing
 * (VPKI_ERR_IN_CALLBACK), but for the three that read the last error and
 * those of the records and the version, which touch no agent.
 */
typedef void (*agentLogFunc)(const char* line, void* param);

/**
 * setAgentLogger - set or clear the debug hook: the library then reports one
 * line per exchange with the service (service and method, bytes each way,
 * duration, outcome), per connection opened, renewed or dropped, per
 * automatic login and per event of the notification thread. Off by default;
 * nothing else of the library changes when it is set. The lines are meant
 * for people, not for parsing; their wording may change.
 *
 * @param logFunc the callback, or null to stop logging.
 * @param param   passed unchanged to every call of logFunc.
 *
 * Returns nothing; it cannot fail.
 *
 * @par Thread-safety
 * safe from any thread, at any time, also before createAgent; lines already
 * being reported may still reach the previous callback.
 * @par Callbacks
 * may be called from a callback, but not from logFunc.
 */
TESSERA_API void setAgentLogger(agentLogFunc logFunc, void* param);

#ifdef __cplusplus
}
#endif

#endif /* TESSERA_H */
