// <windows.h> for the backend, without the A/W name macros that collide
// with method names of rw::Platform (GetWindowText, GetClassName, ...).
// The backend calls the A functions by their full names.
#pragma once

#include <windows.h>
#include <mmsystem.h>

#undef GetWindowText
#undef GetClassName
#undef GetVersionEx
#undef MapVirtualKey
#undef VkKeyScan
#undef GetKeyNameText
#undef PostMessage
#undef SendMessage
