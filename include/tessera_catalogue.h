/*
 * tessera_catalogue.h - the methods of the PKI service's request services,
 * the result codes the library acts on, the notification types and the
 * library's own failure codes, as named constants. tessera.h includes it.
 *
 *   req.msgType = VPKI_DEV_getDevices;        with reqSync(DEVSERVICE, ...)
 *   if (resp.errCode == VPKI_RESULT_OK) ...
 *   if (resp->msgType == VPKI_NOTIFY_DEVICE_INSERTED) ...   in the notification callback
 *
 * Everything here comes from the lists below (X-macros: each list applies the
 * macros it is given to every entry), which are the one place where a method,
 * its message type, a result code, a notification type or a failure code is
 * written down.
 * A list may also be expanded by an application, e.g. to name the methods in
 * its own log lines.
 */
#ifndef TESSERA_CATALOGUE_H
#define TESSERA_CATALOGUE_H

/*
 * The methods of each request service, in message-type order. An entry is
 *   M(SERVICE, method, msgType)  a method that vpkiReq.msgType selects, or
 *   N(SERVICE, method)           a method of the service that no message type
 *                                selects (reqSync and reqAsync cannot reach it).
 * SERVICE is the PKI_SERVICE enumerator without its "SERVICE" ending (DEV for
 * DEVSERVICE); method is the method's name in the service, as it is sent.
 * Message types are numbered per service: the same number selects different
 * methods in different services. A method added to the service's contract
 * gets its line here; the library does not build while a list and the
 * contract differ.
 */
#define VPKI_METHODS_ENROLL(M, N)   \
    M(ENROLL, makePkcs10, 32)       \
    M(ENROLL, genKeypair, 33)       \
    M(ENROLL, importEncKeypair, 34) \
    M(ENROLL, importX509Cert, 35)   \
    M(ENROLL, importPfxCert, 36)    \
    M(ENROLL, getCert, 37)          \
    N(ENROLL, importPfx2SkfFile)

#define VPKI_METHODS_DEV(M, N)    \
    M(DEV, getDevices, 16)        \
    M(DEV, getDevInfo, 17)        \
    M(DEV, setDevLable, 18)       \
    M(DEV, transMitData, 19)      \
    M(DEV, devAuth, 20)           \
    M(DEV, changeAuthKey, 21)     \
    M(DEV, getPINInfo, 22)        \
    M(DEV, changePIN, 23)         \
    M(DEV, verifyPIN, 24)         \
    M(DEV, unlockPIN, 25)         \
    M(DEV, getAppList, 26)        \
    M(DEV, createApp, 27)         \
    M(DEV, delApp, 28)            \
    M(DEV, getContainers, 29)     \
    M(DEV, createContainer, 30)   \
    M(DEV, delContainer, 31)      \
    M(DEV, getContainerType, 32)  \
    M(DEV, importCertificate, 33) \
    M(DEV, exportCertificate, 34) \
    M(DEV, exportPublicKey, 35)   \
    M(DEV, getProviders, 36)      \
    M(DEV, setProvider, 37)       \
    M(DEV, extPubKeyEncrypt, 38)  \
    M(DEV, extPriKeyDecrypt, 39)  \
    M(DEV, getAllCert, 40)        \
    N(DEV, openContainer)         \
    N(DEV, closeContainer)        \
    N(DEV, initFinger)            \
    N(DEV, hasFinger)             \
    N(DEV, verifyFinger)          \
    N(DEV, cancleFinger)          \
    N(DEV, findCert)

#define VPKI_METHODS_SIGNX(M, N)      \
    M(SIGNX, signData, 16)            \
    M(SIGNX, verifySignData, 17)      \
    M(SIGNX, signMessage, 18)         \
    M(SIGNX, verifyMessage, 19)       \
    M(SIGNX, extECCVerify, 20)        \
    M(SIGNX, extECCVerifyEx, 21)      \
    M(SIGNX, dupCertWithTemplate, 22) \
    M(SIGNX, parseCert, 23)           \
    M(SIGNX, envelopeEncrypt, 24)     \
    M(SIGNX, envelopeDecrypt, 25)     \
    M(SIGNX, verifySignedMessage, 26) \
    M(SIGNX, getExtension, 27)

#define VPKI_METHODS_VMAIL(M, N)     \
    M(VMAIL, setTextBody, 16)        \
    M(VMAIL, getTextBody, 17)        \
    M(VMAIL, setHtmlBody, 18)        \
    M(VMAIL, getHtmlBody, 19)        \
    M(VMAIL, compose, 20)            \
    M(VMAIL, getComposedData, 21)    \
    M(VMAIL, prepareParse, 22)       \
    M(VMAIL, parse, 23)              \
    M(VMAIL, clear, 24)              \
    M(VMAIL, addAttachFile, 25)      \
    M(VMAIL, getAttachCount, 26)     \
    M(VMAIL, getAttachFileInfo, 27)  \
    M(VMAIL, doAttachSaveAs, 28)     \
    M(VMAIL, getAttachFieldInfo, 29) \
    M(VMAIL, setMailType, 30)        \
    M(VMAIL, getMailType, 31)        \
    M(VMAIL, setEncCerts, 32)        \
    M(VMAIL, getMailSigner, 33)      \
    M(VMAIL, getSignCert, 34)        \
    M(VMAIL, getCertItem, 35)        \
    M(VMAIL, signData, 36)           \
    N(VMAIL, GetAllConUrl)

/* All four, in PKI_SERVICE order. */
#define VPKI_METHODS(M, N) \
    VPKI_METHODS_ENROLL(M, N) VPKI_METHODS_DEV(M, N) VPKI_METHODS_SIGNX(M, N) VPKI_METHODS_VMAIL(M, N)

/*
 * Result codes of the service (vpkiResp.errCode) that the library acts on.
 * An entry is X(NAME, code, meaning). Other codes are the service's own and
 * reach the application unchanged.
 */
#define VPKI_RESULTS(X)                                                                    \
    X(OK, 0, "success")                                                                    \
    X(SESSION_LOST, 1, "the session is unknown or has ended; the library logs in again")   \
    X(BUSY, 3, "the service is busy; the notification thread waits before it polls again") \
    X(LOGIN_ACCEPTED, 6, "a login accepted as well; the library treats it as 0")           \
    X(NO_EVENT, 7, "a notification poll found no event")

/*
 * Notification types: the msgType of the record that the notification
 * callback receives. An entry is X(NAME, msgType, name in the service's
 * contract, meaning).
 */
#define VPKI_NOTIFICATIONS(X)                                                                   \
    X(DEVICE_INSERTED, 0x0FFF0001, enMsg_NotifyerDevin, "a device was inserted")                \
    X(DEVICE_REMOVED, 0x0FFF0002, enMsg_NotifyerDevOut, "a device was removed")                 \
    X(DEVICE_MODIFIED, 0x0FFF0003, enMsg_NotifyerDevModify, "a device changed, e.g. its label") \
    X(SESSION_CLOSED, 0x0FFF0004, enMsg_NotifyerSessionClose, "the service closed the session")

/*
 * Why a call of the interface failed: the codes of agentLastError, in code
 * order. An entry is X(NAME, code, text); text is what agentErrorString
 * says of the code. Codes are never renumbered: applications compile them
 * in.
 */
#define VPKI_ERRORS(X)                                                          \
    /* the call succeeded */                                                    \
    X(VPKI_OK, 0, "success")                                                    \
    /* no agent: createAgent first (or again after releaseAgent) */             \
    X(VPKI_ERR_NOT_CREATED, 1, "agent not created")                             \
    /* no session: loginAgent first (or again after logoutAgent) */             \
    X(VPKI_ERR_NOT_LOGGED_IN, 2, "not logged in")                               \
    /* a null, over-long or out-of-range argument */                            \
    X(VPKI_ERR_BAD_ARGUMENT, 3, "bad argument")                                 \
    /* nothing accepts connections on the service's port */                     \
    X(VPKI_ERR_CANNOT_CONNECT, 4, "cannot connect")                             \
    /* the service's reply was not complete in time */                          \
    X(VPKI_ERR_TIMED_OUT, 5, "timed out")                                       \
    /* releaseAgent or logoutAgent ended the call */                            \
    X(VPKI_ERR_INTERRUPTED, 6, "interrupted")                                   \
    /* the service closed or reset the connection mid-exchange */               \
    X(VPKI_ERR_CONNECTION_LOST, 7, "connection lost")                           \
    /* the service answered with an HTTP status other than 200 */               \
    X(VPKI_ERR_HTTP_STATUS, 8, "HTTP status")                                   \
    /* the reply was not a well-formed answer to the request */                 \
    X(VPKI_ERR_DAMAGED_REPLY, 9, "damaged reply")                               \
    /* the service answered with an exception */                                \
    X(VPKI_ERR_SERVICE_EXCEPTION, 10, "service exception")                      \
    /* the reply exceeded what the library accepts (256 MiB) */                 \
    X(VPKI_ERR_REPLY_TOO_LARGE, 11, "reply too large")                          \
    /* the service refused the credentials */                                   \
    X(VPKI_ERR_LOGIN_REFUSED, 12, "login refused")                              \
    /* signing: the service answered with an error result code */               \
    X(VPKI_ERR_SERVICE_ERROR, 13, "service error")                              \
    /* memory or a thread could not be had */                                   \
    X(VPKI_ERR_NO_RESOURCES, 14, "out of resources")                            \
    /* the service's port belongs to another ordinary user: nothing was sent */ \
    X(VPKI_ERR_UNTRUSTED_SERVICE, 15, "untrusted service")                      \
    /* the call is not allowed inside this callback: nothing was done */        \
    X(VPKI_ERR_IN_CALLBACK, 16, "not allowed in a callback")

/* The constants, made from the lists. */
#define VPKI_CATALOGUE_MSGTYPE(service, method, msgType) VPKI_##service##_##method = msgType,
#define VPKI_CATALOGUE_NO_MSGTYPE(service, method)
#define VPKI_CATALOGUE_RESULT(name, code, meaning) VPKI_RESULT_##name = code,
#define VPKI_CATALOGUE_NOTIFY(name, msgType, contractName, meaning) VPKI_NOTIFY_##name = msgType,
#define VPKI_CATALOGUE_ERROR(name, code, text) name = code,

/* Message types, VPKI_<SERVICE>_<method>: VPKI_ENROLL_genKeypair, VPKI_DEV_getDevices, ... */
enum vpkiEnrollMsgType { VPKI_METHODS_ENROLL(VPKI_CATALOGUE_MSGTYPE, VPKI_CATALOGUE_NO_MSGTYPE) };
enum vpkiDevMsgType { VPKI_METHODS_DEV(VPKI_CATALOGUE_MSGTYPE, VPKI_CATALOGUE_NO_MSGTYPE) };
enum vpkiSignxMsgType { VPKI_METHODS_SIGNX(VPKI_CATALOGUE_MSGTYPE, VPKI_CATALOGUE_NO_MSGTYPE) };
enum vpkiVmailMsgType { VPKI_METHODS_VMAIL(VPKI_CATALOGUE_MSGTYPE, VPKI_CATALOGUE_NO_MSGTYPE) };

/* Result codes, VPKI_RESULT_<NAME>: VPKI_RESULT_OK, VPKI_RESULT_SESSION_LOST, ... */
enum vpkiResult { VPKI_RESULTS(VPKI_CATALOGUE_RESULT) };

/* Notification types, VPKI_NOTIFY_<NAME>: VPKI_NOTIFY_DEVICE_INSERTED, ... */
enum vpkiNotifyType { VPKI_NOTIFICATIONS(VPKI_CATALOGUE_NOTIFY) };

/* Codes of agentLastError: VPKI_OK, VPKI_ERR_NOT_CREATED, ... */
enum vpkiError { VPKI_ERRORS(VPKI_CATALOGUE_ERROR) };

#undef VPKI_CATALOGUE_ERROR
#undef VPKI_CATALOGUE_MSGTYPE
#undef VPKI_CATALOGUE_NO_MSGTYPE
#undef VPKI_CATALOGUE_RESULT
#undef VPKI_CATALOGUE_NOTIFY

#endif /* TESSERA_CATALOGUE_H */
