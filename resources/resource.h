/* Numeric identifiers of Norvalisk's commands and dialog controls, shared by the
   resource script and the C++ sources. Plain preprocessor only: windres reads it too.

   Command numbers are only unique within the window that handles them, so some values
   are deliberately equal (marked "same number as ..." below). A window must compare a
   command against the names of its own table, never against a name from another one. */
#ifndef NORVALISK_RESOURCE_H
#define NORVALISK_RESOURCE_H

/* Controls without an identifier of their own (labels, icons, rules). */
#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif

/* ---- Options bar (VIEWDLG) ---------------------------------------------------- */
#define IDC_LANDSCAPE 1024 /* "よこ" radio button */
#define IDC_PORTRAIT 1025  /* "たて" radio button */
#define IDC_CARD_SIZE 1026 /* card-size drop-down list; also the "card geometry changed"
                              command the options bar posts to the editor view */

/* ---- Main window commands (bitmap buttons and forwarded commands) ------------- */
#define IDC_DATA_CUT 1027   /* cut the selected card area (main window, then editor view) */
#define IDC_DATA_CLEAR 1028 /* clear the current side (main window, then editor view) */
#define IDC_UPLOAD 1031     /* start the upload */
#define IDC_WEBHELP 1032    /* open the help page in the browser */
#define IDC_FRONT 1033      /* show the front side (tab) */
#define IDC_BACK 1034       /* show the back side (tab) */
#define IDC_CLOSE 1036      /* close the program; same number as IDC_PAGE1 */
#define IDC_SITE 1037       /* log in, then open the service site; same number as IDC_PAGE2 */
#define IDC_SHOW_PAGE 1042  /* main window and page selector: recount the page files;
                               editor view: load the selected page */
#define IDC_OPEN_DESIGN 1043 /* "開く": open a design file as the next page */

/* ---- Page selector (PAGEDLG) --------------------------------------------------- */
#define IDC_PAGE1 1036 /* same number as IDC_CLOSE */
#define IDC_PAGE2 1037 /* same number as IDC_SITE */
#define IDC_PAGE3 1038
#define IDC_PAGE4 1039
#define IDC_PAGE5 1040

/* ---- Progress panel (PGSDLG), upload (UPLOADDLG) and completion (COMPLETEDLG) -- */
#define IDC_STATUS 1021 /* status text line of each of these three dialogs */

/* ---- Login (LOGINDLG) and registration (REGISTDLG) ----------------------------- */
#define IDC_SAVE_LOGIN 1012   /* "ID・パスワードを保存する" check box */
#define IDC_USER_ID 1014      /* user ID edit */
#define IDC_USER_PWD 1015     /* password edit */
#define IDC_LOGIN 1016        /* login button */
#define IDC_NEW_MEMBER 1035   /* open the registration dialog */
#define IDC_LOGIN_CANCEL 1041 /* cancel button of the login dialog; same number as IDC_GO_RET */
#define IDC_REGIST 1037       /* "新規登録" button; same number as IDC_SITE and IDC_PAGE2 */

/* ---- Upload dialog (UPLOADDLG) ------------------------------------------------- */
#define IDC_SEND 1031        /* "送信開始" button; same number as IDC_UPLOAD */
#define IDC_TITLE 1038       /* card title edit; same number as IDC_PAGE3 */
#define IDC_TITLE_LABEL 1039 /* "名称：" label */
#define IDC_UPLOAD_PROGRESS 1050 /* progress bar of the body being sent */
#define IDC_UPLOAD_SENT 1051     /* "<sent> / <total> KB" beside the buttons */

/* ---- Completion dialog (COMPLETEDLG) ------------------------------------------- */
#define IDC_COMPLETE_NOTE 1022 /* "送信した画像の確認や注文ができます" */
#define IDC_GO_MYPAGE 1040     /* "注文画面へ" button; same number as IDC_PAGE5 */
#define IDC_GO_RET 1041        /* "続ける" button; same number as IDC_LOGIN_CANCEL */

#endif /* NORVALISK_RESOURCE_H */
