// The texts of the settings windows. German texts are the windows' own; with
// English chosen (App.UseEnglish) each window replaces those that have an
// English text, and the rest stay German in both languages.
#pragma once

#include <string>
#include <vector>

namespace rw {

struct ItemListTexts {
    std::string caption = "Replywick";
    std::string ok = "OK";
    std::string cancel = "Abbrechen";
    std::string add = "&Hinzufügen...";
    std::string edit = "&Bearbeiten...";
    std::string remove = "&Entfernen";
    std::string arrange = "Umstellen";
    std::string moveTip = " Einfügen ";  // both arrows, in either language
    std::string readTip = " Aus Datei lesen ";
    std::string saveTip = " In Datei speichern ";
    std::string cutTip = " Ausschneiden ";
    std::string copyTip = " Kopieren ";
    std::string pasteTip = " Einfügen ";
    // The answer of the two file buttons, German in both languages.
    std::string notYet = "Geht noch nicht";
    // What OK says when the settings file was left as it was.
    std::string notRead = "Die Einstellungsdatei konnte beim Start nicht gelesen werden und wurde nicht verändert:";
    std::string notTrusted =
        "Andere Benutzer können die Einstellungsdatei oder einen Ordner auf dem Weg zu ihr ändern. Ihr wird "
        "deshalb nicht vertraut, und sie wurde nicht verändert:";
    std::string readOnly = "Die Einstellungsdatei ist schreibgeschützt und wurde nicht verändert:";
    std::string notWritten = "Die Einstellungsdatei konnte nicht geschrieben werden und ist unverändert:";
};
ItemListTexts ItemListTextsFor(bool english);

struct ItemEditorTexts {
    std::string entry = "Eintra&g";
    std::string name = "&Name:";
    std::string window = "Fenster";
    std::string title = "Titel:";
    std::vector<std::string> titleTests{"exakt", "von links", "von rechts", "beliebig"};
    std::string cls = "Klasse:";
    std::string text = "Text:";
    std::string module = "Modul:";
    std::string size = "Größe:";
    std::string searchTool = "Suchwerkzeug:";
    std::string settings = "&Einstellungen";
    std::string delay = "&Verzögerung:";
    std::string macro = "Macro";
    std::string keys = "Ta&sten:";
    std::string functions = "&Funktionen:";
    std::string ok = "OK";
    std::string cancel = "Abbrechen";
    std::string listTip = "Doppelklicken zum Einfügen";
    std::string searchTip =
        "Ziehen Sie das Suchwerkzeug über das gewünschte Fenster, und lassen Sie dann die Maustaste los.";
};
ItemEditorTexts ItemEditorTextsFor(bool english);

struct AboutTexts {
    std::string caption = "Information";
    std::string development = "Entwicklung";
    // Who makes the program: the project, not a person, in both languages.
    std::string makers = "The Replywick developers";
    std::string ok = "OK";
    std::string openLink = "Link in Browser öffnen";
    std::string copyLink = "Link kopieren";
};
AboutTexts AboutTextsFor(bool english);

}  // namespace rw
