#include "ui/Texts.h"

namespace rw {

ItemListTexts ItemListTextsFor(bool english) {
    ItemListTexts t;
    if (!english) return t;
    t.cancel = "Cancel";
    t.add = "&Add";
    t.edit = "&Edit";
    t.remove = "&Remove";
    t.arrange = "arrange";
    t.readTip = " Read from file ";
    t.saveTip = " Save to file ";
    t.cutTip = " Cut ";
    t.copyTip = " Copy ";
    t.pasteTip = " Paste ";
    t.notRead = "The settings file could not be read at start-up and was left as it was:";
    t.notTrusted = "Other users can change the settings file or a folder on the way to it. It is not trusted "
                   "and was left as it was:";
    t.readOnly = "The settings file is read-only and was left as it was:";
    t.notWritten = "The settings file could not be written and is unchanged:";
    return t;
}

ItemEditorTexts ItemEditorTextsFor(bool english) {
    ItemEditorTexts t;
    if (!english) return t;
    t.entry = "Entry";
    t.name = "&Name";
    t.window = "Window";
    t.title = "&Title";
    t.cls = "Class";
    t.text = "Text";
    t.module = "Module";
    t.searchTool = "Window Search Tool";
    t.delay = "&Delay";
    t.keys = "&Keys";
    t.functions = "&Functions";
    t.cancel = "Cancel";
    return t;
}

AboutTexts AboutTextsFor(bool english) {
    AboutTexts t;
    if (!english) return t;
    t.development = "Development";
    t.openLink = "Open Link in Browser";
    t.copyLink = "Copy Link Location";
    return t;
}

}  // namespace rw
