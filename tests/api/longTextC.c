/*
 * A long text both ways through the records of the library, as a C program
 * sees them: compiled as C, so that the header's C view of the records and
 * of the functions that make, fill and read them is what is tested.
 */
#include "longTextC.h"

#include <stdlib.h>
#include <string.h>

#include "tessera.h"

/* The answer's whole text in memory of malloc. */
static char* copied(const char* text, size_t length)
{
    char* copy = malloc(length + 1);
    if (copy != NULL)
        memcpy(copy, text, length + 1);
    return copy;
}

char* longTextRoundTripC(const char* text, size_t length, size_t* answerLength, const char** failedStep)
{
    vpkiReq* req = vpkiReqNew();
    vpkiResp* resp = vpkiRespNew();
    const char* answer = NULL;
    char* result = NULL;

    *failedStep = NULL;
    if (req != NULL)
        req->msgType = VPKI_VMAIL_setTextBody;
    if (req == NULL || resp == NULL)
        *failedStep = "vpkiReqNew or vpkiRespNew";
    else if (!vpkiReqSetBody(req, text, length))
        *failedStep = "vpkiReqSetBody";
    else if (!reqSync(VMAILSERVICE, req, resp))
        *failedStep = "reqSync";
    else if (resp->errCode != VPKI_RESULT_OK)
        *failedStep = "the service's errCode";
    else if ((answer = vpkiRespText(resp, answerLength)) == NULL)
        *failedStep = "vpkiRespText";
    else if (strlen(answer) != *answerLength)
        *failedStep = "the answer's length";
    else if ((result = copied(answer, *answerLength)) == NULL)
        *failedStep = "malloc";
    vpkiReqFree(req);
    vpkiRespFree(resp);
    return result;
}

int zeroedRecordsKeepTheirTextFieldsC(void)
{
    vpkiReq req = {0};
    vpkiResp resp = {0};
    size_t length = 1;

    strcpy(resp.jsonBody, "{\"short\":true}");
    if (vpkiReqSetBody(&req, "{}", 2) || agentLastError() != VPKI_ERR_BAD_ARGUMENT)
        return 0;
    return strcmp(vpkiRespText(&resp, &length), "{\"short\":true}") == 0 && length == 14;
}
