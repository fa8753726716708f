/* A stand-in for the browser's automation interface (IWebBrowser2) that
   records what reaches it. Written in C, where the interface's method table
   can be filled by name; every method not listed answers E_NOTIMPL. */
#pragma once

#include <windows.h>

#include <exdisp.h>

#ifdef __cplusplus
extern "C" {
#endif

/* What the browser was asked, and what it answers. */
typedef struct TestBrowserLog {
  int navigateCount;
  VARTYPE urlType;           /* of the last Navigate2 URL */
  BOOL urlIsNullString;      /* VT_BSTR holding a null string */
  WCHAR url[512];            /* the last URL text */
  BOOL othersShareOneEmpty;  /* the four other arguments: one VT_EMPTY variant */
  int visibleCalls;
  VARIANT_BOOL visible;
  int refreshCount;
  VARTYPE refreshType;
  LONG refreshLevel;
  int goBackCount, goForwardCount, goHomeCount;
  HRESULT answer;            /* returned by the navigation methods */
} TestBrowserLog;

/* The browser part of a test control, laid out as an IWebBrowser2 (its
   method table first). Its IUnknown methods go to `outer`. */
typedef struct TestBrowser {
  const void* methods;
  IUnknown* outer;
  TestBrowserLog* log;
} TestBrowser;

void InitTestBrowser(TestBrowser* browser, IUnknown* outer, TestBrowserLog* log);

#ifdef __cplusplus
}
#endif
