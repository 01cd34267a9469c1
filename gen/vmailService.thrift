// Secure mail service: composing, parsing, attachments and mail signing.
include "commdef.thrift"
namespace cpp com.vant.cbb.pkimid

service vmailService {
    commdef.msgResponse setTextBody(1: commdef.sessionTicket tk, 2: commdef.msgRequest req),
    commdef.msgResponse getTextBody(1: commdef.sessionTicket tk, 2: commdef.msgRequest req),
    commdef.msgResponse setHtmlBody(1: commdef.sessionTicket tk, 2: commdef.msgRequest req),
    commdef.msgResponse getHtmlBody(1: commdef.sessionTicket tk, 2: commdef.msgRequest req),
    commdef.msgResponse compose(1: commdef.sessionTicket tk, 2: commdef.msgRequest req),
    commdef.msgResponse getComposedData(1: commdef.sessionTicket tk, 2: commdef.msgRequest req),
    commdef.msgResponse prepareParse(1: commdef.sessionTicket tk, 2: commdef.msgRequest req),
    commdef.msgResponse parse(1: commdef.sessionTicket tk, 2: commdef.msgRequest req),
    commdef.msgResponse clear(1: commdef.sessionTicket tk, 2: commdef.msgRequest req),
    commdef.msgResponse addAttachFile(1: commdef.sessionTicket tk, 2: commdef.msgRequest req),
    commdef.msgResponse getAttachCount(1: commdef.sessionTicket tk, 2: commdef.msgRequest req),
    commdef.msgResponse getAttachFileInfo(1: commdef.sessionTicket tk, 2: commdef.msgRequest req),
    commdef.msgResponse doAttachSaveAs(1: commdef.sessionTicket tk, 2: commdef.msgRequest req),
    commdef.msgResponse getAttachFieldInfo(1: commdef.sessionTicket tk, 2: commdef.msgRequest req),
    commdef.msgResponse setMailType(1: commdef.sessionTicket tk, 2: commdef.msgRequest req),
    commdef.msgResponse getMailType(1: commdef.sessionTicket tk, 2: commdef.msgRequest req),
    commdef.msgResponse setEncCerts(1: commdef.sessionTicket tk, 2: commdef.msgRequest req),
    commdef.msgResponse getMailSigner(1: commdef.sessionTicket tk, 2: commdef.msgRequest req),
    commdef.msgResponse getSignCert(1: commdef.sessionTicket tk, 2: commdef.msgRequest req),
    commdef.msgResponse getCertItem(1: commdef.sessionTicket tk, 2: commdef.msgRequest req),
    commdef.msgResponse GetAllConUrl(1: commdef.sessionTicket tk, 2: commdef.msgRequest req),
    commdef.msgResponse signData(1: commdef.sessionTicket tk, 2: commdef.msgRequest req)
}
