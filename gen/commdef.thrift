// Shared wire types of the PKI service contract: the session ticket, the
// request and response envelopes, and the enumerations their numbers use.
namespace cpp com.vant.cbb.pkimid

enum enMsgType {
    enMsg_Login = 0x00000001,
    enMsg_LogOut = 0x00000002,
    enMsg_NotifyerStart = 0x0FFF0000,
    enMsg_NotifyerDevin = 0x0FFF0001,
    enMsg_NotifyerDevOut = 0x0FFF0002,
    enMsg_NotifyerDevModify = 0x0FFF0003,
    enMsg_NotifyerSessionClose = 0x0FFF0004
}

enum enPinType {
    PIN_ADMIN = 0,
    PIN_USER = 1
}

enum enSecRight {
    NO_SECRIGHT = 0,
    ADM_SECRIGHT = 1,
    USER_SECRIGHT = 2,
    ANYONE_SECRIGHT = 3
}

enum enDevType {
    devtype_skf = 0,
    devtype_csp = 1,
    devtype_pkcs11 = 2
}

// Session credentials sent with every call but login.
struct sessionTicket {
    1: i64 sessionID,
    2: string ticket
}

// Request envelope: the operation is told by the method, msgType and jsonBody.
struct msgRequest {
    1: i32 reqid,
    2: i32 msgType,
    3: i32 version,
    4: i64 extend,
    5: string jsonBody
}

// Response envelope: errCode is the service's verdict, jsonBody its answer.
struct msgResponse {
    1: i32 respid,
    2: i32 msgType,
    3: i32 version,
    4: i32 errCode,
    5: i64 extend,
    6: string jsonBody
}
