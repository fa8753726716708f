/* A stand-in for the HTML document object: it answers IHTMLDocument2 (with a
   body element whose inner HTML it records) and IPersistStreamInit. Written in
   C, where the large method tables can be filled by name. */
#pragma once

#include <windows.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef struct TestDocumentLog {
  int live;           /* documents and body elements alive */
  int initNewCalls;
  int innerHtmlCalls;
  WCHAR innerHtml[256];
} TestDocumentLog;

/* A new document with one reference, queried for `iid`. */
HRESULT CreateTestDocument(TestDocumentLog* log, REFIID iid, void** out);

#ifdef __cplusplus
}
#endif
