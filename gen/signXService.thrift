// Signing service: signatures, signed messages, certificates and envelopes.
include "commdef.thrift"
namespace cpp com.vant.cbb.pkimid

service signXService {
    commdef.msgResponse signData(1: commdef.sessionTicket tk, 2: commdef.msgRequest req),
    commdef.msgResponse verifySignData(1: commdef.sessionTicket tk, 2: commdef.msgRequest req),
    commdef.msgResponse signMessage(1: commdef.sessionTicket tk, 2: commdef.msgRequest req),
    commdef.msgResponse verifyMessage(1: commdef.sessionTicket tk, 2: commdef.msgRequest req),
    commdef.msgResponse extECCVerify(1: commdef.sessionTicket tk, 2: commdef.msgRequest req),
    commdef.msgResponse extECCVerifyEx(1: commdef.sessionTicket tk, 2: commdef.msgRequest req),
    commdef.msgResponse dupCertWithTemplate(1: commdef.sessionTicket tk, 2: commdef.msgRequest req),
    commdef.msgResponse parseCert(1: commdef.sessionTicket tk, 2: commdef.msgRequest req),
    commdef.msgResponse getExtension(1: commdef.sessionTicket tk, 2: commdef.msgRequest req),
    commdef.msgResponse envelopeEncrypt(1: commdef.sessionTicket tk, 2: commdef.msgRequest req),
    commdef.msgResponse envelopeDecrypt(1: commdef.sessionTicket tk, 2: commdef.msgRequest req),
    commdef.msgResponse verifySignedMessage(1: commdef.sessionTicket tk, 2: commdef.msgRequest req)
}
