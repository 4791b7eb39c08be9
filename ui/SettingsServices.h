// What the program's settings windows are given: the clipboard, the save of
// the list they edit, the settings file's path, their captions and texts in
// the interface language. Every backend opens its windows with these; it
// converts the texts to its own encoding where that is not UTF-8.
#pragma once

#include <functional>
#include <string>

#include "items/Items.h"
#include "ui/AboutPresenter.h"
#include "ui/ItemListPresenter.h"

namespace rw {

// OK of the list window writes `items`, the very list the window edits.
ItemListServices ProgramItemListServices(clsItems& items);
// openUrl is the desktop's way to open a link.
AboutServices ProgramAboutServices(std::function<void(const std::string& url)> openUrl);

}  // namespace rw
