// Session service: login, logout, notification polls and version query.
include "commdef.thrift"
namespace cpp com.vant.cbb.pkimid

service vantService {
    commdef.msgResponse login(1: commdef.msgRequest req),
    commdef.msgResponse logout(1: commdef.sessionTicket tk),
    commdef.msgResponse getNotify(1: commdef.sessionTicket tk, 2: commdef.msgRequest req),
    commdef.msgResponse getVersions(1: commdef.sessionTicket tk, 2: commdef.msgRequest req)
}
