/* The HTML document stand-in of the control host tests. */
#define COBJMACROS
#include "test_document.h"

#include <mshtml.h>
#include <ocidl.h>
#include <stddef.h>
#include <stdlib.h>

typedef struct TestBody {
  const IHTMLElementVtbl* methods;
  LONG refs;
  TestDocumentLog* log;
} TestBody;

typedef struct TestDocument {
  const IHTMLDocument2Vtbl* documentMethods;
  const IPersistStreamInitVtbl* persistMethods;
  LONG refs;
  TestDocumentLog* log;
} TestDocument;

static HRESULT STDMETHODCALLTYPE NotImplemented(void* self) {
  (void)self;
  return E_NOTIMPL;
}

/* Points every empty slot of a method table at NotImplemented; on x64 one
   calling convention serves every signature. */
static void FillTable(void* table, size_t size) {
  void** slot = (void**)table;
  size_t i;
  for (i = 0; i < size / sizeof(void*); ++i) {
    if (slot[i] == NULL) {
      slot[i] = (void*)NotImplemented;
    }
  }
}

/* ---- the body element ---- */

static HRESULT STDMETHODCALLTYPE BodyQueryInterface(IHTMLElement* self, REFIID iid, void** out) {
  if (IsEqualIID(iid, &IID_IUnknown) || IsEqualIID(iid, &IID_IHTMLElement)) {
    *out = self;
    IHTMLElement_AddRef(self);
    return S_OK;
  }
  *out = NULL;
  return E_NOINTERFACE;
}

static ULONG STDMETHODCALLTYPE BodyAddRef(IHTMLElement* self) {
  return ++((TestBody*)self)->refs;
}

static ULONG STDMETHODCALLTYPE BodyRelease(IHTMLElement* self) {
  TestBody* body = (TestBody*)self;
  const ULONG refs = --body->refs;
  if (refs == 0) {
    --body->log->live;
    free(body);
  }
  return refs;
}

static HRESULT STDMETHODCALLTYPE BodyPutInnerHtml(IHTMLElement* self, BSTR html) {
  TestDocumentLog* log = ((TestBody*)self)->log;
  ++log->innerHtmlCalls;
  log->innerHtml[0] = 0;
  if (html != NULL) {
    lstrcpynW(log->innerHtml, html, (int)(sizeof log->innerHtml / sizeof log->innerHtml[0]));
  }
  return S_OK;
}

static IHTMLElementVtbl bodyMethods;

/* ---- the document ---- */

static TestDocument* FromPersist(IPersistStreamInit* self) {
  return (TestDocument*)((char*)self - offsetof(TestDocument, persistMethods));
}

static HRESULT STDMETHODCALLTYPE DocumentQueryInterface(IHTMLDocument2* self, REFIID iid,
                                                        void** out) {
  TestDocument* document = (TestDocument*)self;
  if (IsEqualIID(iid, &IID_IUnknown) || IsEqualIID(iid, &IID_IDispatch) ||
      IsEqualIID(iid, &IID_IHTMLDocument) || IsEqualIID(iid, &IID_IHTMLDocument2)) {
    *out = &document->documentMethods;
  } else if (IsEqualIID(iid, &IID_IPersistStreamInit)) {
    *out = &document->persistMethods;
  } else {
    *out = NULL;
    return E_NOINTERFACE;
  }
  ++document->refs;
  return S_OK;
}

static ULONG STDMETHODCALLTYPE DocumentAddRef(IHTMLDocument2* self) {
  return ++((TestDocument*)self)->refs;
}

static ULONG STDMETHODCALLTYPE DocumentRelease(IHTMLDocument2* self) {
  TestDocument* document = (TestDocument*)self;
  const ULONG refs = --document->refs;
  if (refs == 0) {
    --document->log->live;
    free(document);
  }
  return refs;
}

static HRESULT STDMETHODCALLTYPE DocumentGetBody(IHTMLDocument2* self, IHTMLElement** body) {
  TestDocument* document = (TestDocument*)self;
  TestBody* element = (TestBody*)calloc(1, sizeof(TestBody));
  if (element == NULL) {
    *body = NULL;
    return E_OUTOFMEMORY;
  }
  element->methods = &bodyMethods;
  element->refs = 1;
  element->log = document->log;
  ++document->log->live;
  *body = (IHTMLElement*)element;
  return S_OK;
}

static IHTMLDocument2Vtbl documentMethods;

static HRESULT STDMETHODCALLTYPE PersistQueryInterface(IPersistStreamInit* self, REFIID iid,
                                                       void** out) {
  return DocumentQueryInterface((IHTMLDocument2*)FromPersist(self), iid, out);
}

static ULONG STDMETHODCALLTYPE PersistAddRef(IPersistStreamInit* self) {
  return DocumentAddRef((IHTMLDocument2*)FromPersist(self));
}

static ULONG STDMETHODCALLTYPE PersistRelease(IPersistStreamInit* self) {
  return DocumentRelease((IHTMLDocument2*)FromPersist(self));
}

static HRESULT STDMETHODCALLTYPE PersistInitNew(IPersistStreamInit* self) {
  ++FromPersist(self)->log->initNewCalls;
  return S_OK;
}

static IPersistStreamInitVtbl persistMethods;

HRESULT CreateTestDocument(TestDocumentLog* log, REFIID iid, void** out) {
  TestDocument* document;
  HRESULT hr;
  if (documentMethods.QueryInterface == NULL) {
    bodyMethods.QueryInterface = BodyQueryInterface;
    bodyMethods.AddRef = BodyAddRef;
    bodyMethods.Release = BodyRelease;
    bodyMethods.put_innerHTML = BodyPutInnerHtml;
    FillTable(&bodyMethods, sizeof bodyMethods);
    documentMethods.QueryInterface = DocumentQueryInterface;
    documentMethods.AddRef = DocumentAddRef;
    documentMethods.Release = DocumentRelease;
    documentMethods.get_body = DocumentGetBody;
    FillTable(&documentMethods, sizeof documentMethods);
    persistMethods.QueryInterface = PersistQueryInterface;
    persistMethods.AddRef = PersistAddRef;
    persistMethods.Release = PersistRelease;
    persistMethods.InitNew = PersistInitNew;
    FillTable(&persistMethods, sizeof persistMethods);
  }
  *out = NULL;
  document = (TestDocument*)calloc(1, sizeof(TestDocument));
  if (document == NULL) {
    return E_OUTOFMEMORY;
  }
  document->documentMethods = &documentMethods;
  document->persistMethods = &persistMethods;
  document->refs = 1;
  document->log = log;
  ++log->live;
  hr = DocumentQueryInterface((IHTMLDocument2*)document, iid, out);
  DocumentRelease((IHTMLDocument2*)document);
  return hr;
}
