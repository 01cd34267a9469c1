// Enrolment service: key pairs, certificate requests and certificate import.
include "commdef.thrift"
namespace cpp com.vant.cbb.pkimid

service enRollService {
    commdef.msgResponse makePkcs10(1: commdef.sessionTicket tk, 2: commdef.msgRequest req),
    commdef.msgResponse genKeypair(1: commdef.sessionTicket tk, 2: commdef.msgRequest req),
    commdef.msgResponse importEncKeypair(1: commdef.sessionTicket tk, 2: commdef.msgRequest req),
    commdef.msgResponse importX509Cert(1: commdef.sessionTicket tk, 2: commdef.msgRequest req),
    commdef.msgResponse importPfxCert(1: commdef.sessionTicket tk, 2: commdef.msgRequest req),
    commdef.msgResponse getCert(1: commdef.sessionTicket tk, 2: commdef.msgRequest req),
    commdef.msgResponse importPfx2SkfFile(1: commdef.sessionTicket tk, 2: commdef.msgRequest req)
}
