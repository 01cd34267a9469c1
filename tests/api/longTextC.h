// What the C translation unit of the long-text tests offers the C++ tests.
#ifndef TESSERA_TESTS_LONG_TEXT_C_H
#define TESSERA_TESTS_LONG_TEXT_C_H

#include <stddef.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Sends `text` to the mail service's setTextBody with reqSync in records of
   vpkiReqNew and vpkiRespNew, and returns the answer's whole text (free it),
   its length in *answerLength; NULL when a step failed, named in
   *failedStep. Needs a session. */
char* longTextRoundTripC(const char* text, size_t length, size_t* answerLength, const char** failedStep);

/* Zeroed records: vpkiReqSetBody refuses one without a body buffer and
   vpkiRespText reads a response's text field. 1 when both hold. */
int zeroedRecordsKeepTheirTextFieldsC(void);

#ifdef __cplusplus
}
#endif

#endif /* TESSERA_TESTS_LONG_TEXT_C_H */
