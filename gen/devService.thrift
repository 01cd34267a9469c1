// Device service: devices, PINs, applications, containers, keys and certificates.
include "commdef.thrift"
namespace cpp com.vant.cbb.pkimid

service devService {
    commdef.msgResponse getDevices(1: commdef.sessionTicket tk, 2: commdef.msgRequest req),
    commdef.msgResponse getDevInfo(1: commdef.sessionTicket tk, 2: commdef.msgRequest req),
    commdef.msgResponse setDevLable(1: commdef.sessionTicket tk, 2: commdef.msgRequest req),
    commdef.msgResponse transMitData(1: commdef.sessionTicket tk, 2: commdef.msgRequest req),
    commdef.msgResponse devAuth(1: commdef.sessionTicket tk, 2: commdef.msgRequest req),
    commdef.msgResponse changeAuthKey(1: commdef.sessionTicket tk, 2: commdef.msgRequest req),
    commdef.msgResponse getPINInfo(1: commdef.sessionTicket tk, 2: commdef.msgRequest req),
    commdef.msgResponse changePIN(1: commdef.sessionTicket tk, 2: commdef.msgRequest req),
    commdef.msgResponse verifyPIN(1: commdef.sessionTicket tk, 2: commdef.msgRequest req),
    commdef.msgResponse unlockPIN(1: commdef.sessionTicket tk, 2: commdef.msgRequest req),
    commdef.msgResponse getAppList(1: commdef.sessionTicket tk, 2: commdef.msgRequest req),
    commdef.msgResponse createApp(1: commdef.sessionTicket tk, 2: commdef.msgRequest req),
    commdef.msgResponse delApp(1: commdef.sessionTicket tk, 2: commdef.msgRequest req),
    commdef.msgResponse getContainers(1: commdef.sessionTicket tk, 2: commdef.msgRequest req),
    commdef.msgResponse createContainer(1: commdef.sessionTicket tk, 2: commdef.msgRequest req),
    commdef.msgResponse delContainer(1: commdef.sessionTicket tk, 2: commdef.msgRequest req),
    commdef.msgResponse openContainer(1: commdef.sessionTicket tk, 2: commdef.msgRequest req),
    commdef.msgResponse closeContainer(1: commdef.sessionTicket tk, 2: commdef.msgRequest req),
    commdef.msgResponse getContainerType(1: commdef.sessionTicket tk, 2: commdef.msgRequest req),
    commdef.msgResponse importCertificate(1: commdef.sessionTicket tk, 2: commdef.msgRequest req),
    commdef.msgResponse exportCertificate(1: commdef.sessionTicket tk, 2: commdef.msgRequest req),
    commdef.msgResponse getAllCert(1: commdef.sessionTicket tk, 2: commdef.msgRequest req),
    commdef.msgResponse exportPublicKey(1: commdef.sessionTicket tk, 2: commdef.msgRequest req),
    commdef.msgResponse extPubKeyEncrypt(1: commdef.sessionTicket tk, 2: commdef.msgRequest req),
    commdef.msgResponse extPriKeyDecrypt(1: commdef.sessionTicket tk, 2: commdef.msgRequest req),
    commdef.msgResponse initFinger(1: commdef.sessionTicket tk, 2: commdef.msgRequest req),
    commdef.msgResponse hasFinger(1: commdef.sessionTicket tk, 2: commdef.msgRequest req),
    commdef.msgResponse verifyFinger(1: commdef.sessionTicket tk, 2: commdef.msgRequest req),
    commdef.msgResponse cancleFinger(1: commdef.sessionTicket tk, 2: commdef.msgRequest req),
    commdef.msgResponse getProviders(1: commdef.sessionTicket tk, 2: commdef.msgRequest req),
    commdef.msgResponse setProvider(1: commdef.sessionTicket tk, 2: commdef.msgRequest req),
    commdef.msgResponse findCert(1: commdef.sessionTicket tk, 2: commdef.msgRequest req)
}
