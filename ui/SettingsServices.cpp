#include "ui/SettingsServices.h"

#include "base/AppValues.h"
#include "items/Settings.h"
#include "platform/Platform.h"
#include "ui/Texts.h"

namespace rw {

ItemListServices ProgramItemListServices(clsItems& items) {
    ItemListServices s;
    s.getClipText = [] { return GetClipText(); };
    s.setClipText = [](const std::string& t) { SetClipText(t); };
    s.saveSettings = [&items] { return SaveSettings(items); };
    s.settingsPath = App.IniPath;
    s.addCaption = App.AddItemCaption;
    s.editCaption = App.EditItemCaption;
    s.texts = ItemListTextsFor(App.UseEnglish);
    return s;
}

AboutServices ProgramAboutServices(std::function<void(const std::string& url)> openUrl) {
    AboutServices s;
    s.exePath = App.ExePath;
    s.iniPath = App.IniPath;
    s.openUrl = std::move(openUrl);
    s.setClipText = [](const std::string& t) { SetClipText(t); };
    s.sleep = [](std::uint32_t ms) { Sys().clock.Sleep(ms); };
    s.texts = AboutTextsFor(App.UseEnglish);
    return s;
}

}  // namespace rw
