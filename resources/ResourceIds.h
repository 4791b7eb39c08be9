/* Identifiers of the Windows resources, shared by the resource script and
   the program. Kept to plain #defines so windres can read it. */
#pragma once

#define IDI_OKON 101  /* active notification-area icon, also the main window's icon */
#define IDI_OKOFF 102 /* inactive notification-area icon */
#define IDC_HANDPOINT 201 /* pointing hand of the About window's links */
/* The window search tool's cross-hair cursor is the resource named "T". */
