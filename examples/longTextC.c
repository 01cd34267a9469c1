/*
 * A text longer than a record's text field, from C: a mail body of LENGTH
 * bytes (20000 by default) goes to the secure-mail service's setTextBody,
 * and the whole answer comes back.
 *
 *   long-text-c [LENGTH]
 *
 * Logs in as the development service's demo application. A zeroed record
 * carries 8191 characters at most each way; records from vpkiReqNew and
 * vpkiRespNew have a body buffer for texts of any length: vpkiReqSetBody
 * fills the request's, vpkiRespText reads the response's whole text.
 */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <tessera.h>

/* Reports why the calling thread's last call of the library failed. */
static int failed(const char* call)
{
    fprintf(stderr, "long-text-c: %s failed: %s (%s)\n", call, agentErrorString(agentLastError()),
            agentLastErrorText());
    return 1;
}

/* {"text":"Line 1 ...\nLine 2 ...\n..."} of exactly `length` bytes, in memory of malloc. */
static char* mailBody(size_t length)
{
    static const char head[] = "{\"text\":\"";
    static const char tail[] = "\"}";
    static const char line[] = "a line of the mail body\\n";
    char* body = malloc(length + 1);
    size_t at = sizeof head - 1;

    if (body == NULL)
        return NULL;
    memcpy(body, head, at);
    while (at < length - (sizeof tail - 1)) {
        body[at] = line[(at - (sizeof head - 1)) % (sizeof line - 1)];
        at++;
    }
    /* A line cut short must not end in half an escape. */
    if (body[at - 1] == '\\')
        body[at - 1] = '.';
    memcpy(body + at, tail, sizeof tail);
    return body;
}

static int sendMailBody(const char* body, size_t length)
{
    vpkiReq* req = vpkiReqNew();
    vpkiResp* resp = vpkiRespNew();
    const char* answer;
    size_t answerLength = 0;
    int status = 1;

    if (req != NULL) {
        req->msgType = VPKI_VMAIL_setTextBody;
        req->version = 1;
    }
    if (req == NULL || resp == NULL)
        status = failed("vpkiReqNew");
    else if (!vpkiReqSetBody(req, body, length))
        status = failed("vpkiReqSetBody");
    else if (!reqSync(VMAILSERVICE, req, resp))
        status = failed("reqSync");
    else if (resp->errCode != VPKI_RESULT_OK)
        fprintf(stderr, "long-text-c: the service answered errCode %d: %s\n", (int)resp->errCode,
                vpkiRespText(resp, NULL));
    else {
        answer = vpkiRespText(resp, &answerLength);
        printf("sent %zu bytes, received %zu bytes (%zu in the text field)\n", length, answerLength,
               strlen(resp->jsonBody));
        printf("%.72s...\n", answer);
        status = 0;
    }
    vpkiReqFree(req);
    vpkiRespFree(resp);
    return status;
}

int main(int argc, char** argv)
{
    size_t length = 20000;
    char* body;
    int status;

    if (argc == 2)
        length = strtoul(argv[1], NULL, 10);
    if (argc > 2 || length < 16 || length > VPKI_REQUEST_BODY_MAX) {
        fputs("usage: long-text-c [LENGTH: 16 to VPKI_REQUEST_BODY_MAX]\n", stderr);
        return 2;
    }
    if ((body = mailBody(length)) == NULL) {
        fputs("long-text-c: out of memory\n", stderr);
        return 1;
    }
    if (!createAgent(NULL, NULL, NULL)) {
        free(body);
        return failed("createAgent");
    }
    if (!loginAgent("demo", "demo-app-id", "demo-token"))
        status = failed("loginAgent");
    else {
        status = sendMailBody(body, length);
        logoutAgent();
    }
    releaseAgent();
    free(body);
    return status;
}
