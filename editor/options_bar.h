// The options bar (template VIEWDLG): the card size list and the landscape
// and portrait radio buttons. Each choice is written to the job record and
// announced to the editor view with the command IDC_CARD_SIZE.
#pragma once

#include <windows.h>

struct CardJob;

// What the bar is handed at creation; its creator keeps it alive as long as the bar.
struct OptionsBarLinks {
  CardJob* job;       // orientation and size index are written here
  HWND editorView;    // told IDC_CARD_SIZE after each choice
  HBRUSH panelBrush;  // background of the bar and its labels
};

// Dialog procedure of VIEWDLG; the main window creates the bar with
// CreateDialogParamA(instance, "VIEWDLG", main window, OptionsBarProc,
// reinterpret_cast<LPARAM>(&links)) for an OptionsBarLinks `links`.
INT_PTR CALLBACK OptionsBarProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// Shows the job's card size and orientation in the bar without announcing a
// change (the caller has applied it already). A null bar does nothing.
void ShowCardSettings(HWND bar);
