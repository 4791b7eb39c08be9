// The settings windows' texts in the ANSI code page.
//
// The core writes its window texts as UTF-8 (ui/Texts.h, the menu
// captions), while the Win32 side of Replywick speaks the ANSI code page
// throughout: items, window titles, class names and key names all come
// from the system in it. The texts are converted here, once, where they
// enter the Windows program; everything a presenter then hands to a view
// is ANSI and goes into the A controls unchanged.
#pragma once

#include <string>

#include "ui/Texts.h"

namespace rw::win32ui {

std::string Utf8ToAnsi(const std::string& utf8);

ItemListTexts ToAnsi(ItemListTexts t);
ItemEditorTexts ToAnsi(ItemEditorTexts t);
AboutTexts ToAnsi(AboutTexts t);

}  // namespace rw::win32ui
