/* Identifiers of the Windows resources, shared by the resource script and
   the program. Kept to plain #defines so windres can read it. */
#pragma once

#define IDI_OKON 101  /* active notification-area icon, also the main window's icon */
#define IDI_OKOFF 102 /* inactive notification-area icon */
#define IDC_HANDPOINT 201 /* pointing hand of the About window's links */
/* The window search tool's cross-hair cursor is the resource named "T". */

/* Tool-button images of the settings windows, 16x16 icons. Each greyed
   (disabled) image has the id of its normal image plus one. */
#define IDI_BTN_UP 111
#define IDI_BTN_UP_GREY 112
#define IDI_BTN_DOWN 113
#define IDI_BTN_DOWN_GREY 114
#define IDI_BTN_OPEN 115
#define IDI_BTN_OPEN_GREY 116
#define IDI_BTN_SAVE 117
#define IDI_BTN_SAVE_GREY 118
#define IDI_BTN_CUT 119
#define IDI_BTN_CUT_GREY 120
#define IDI_BTN_COPY 121
#define IDI_BTN_COPY_GREY 122
#define IDI_BTN_PASTE 123
#define IDI_BTN_PASTE_GREY 124

/* The window search tool's faces, 31x28 bitmaps for a SS_BITMAP static:
   the sunken box with the cross-hair (at rest), and the same box empty
   (while the cross-hair is dragged). Their greys are the classic 3-D greys,
   so LoadImage(..., LR_LOADMAP3DCOLORS) matches them to the button colours. */
#define IDB_SEARCH_FULL 301
#define IDB_SEARCH_EMPTY 302
