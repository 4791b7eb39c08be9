// Where the settings windows' controls sit, the same for every toolkit.
// The item list is laid out in twips, the item editor and About in pixels
// at 96 dpi; both are scaled to the screen by the view. A frame's controls
// are placed relative to the frame, the toolbar's buttons relative to the
// toolbar.
#pragma once

namespace rw::layout {

struct Box {
    int x, y, w, h;
};

// The item list window, in twips.
namespace list {
constexpr Box kWindow{0, 0, 5850, 3525};
// Its lower edge meets the list's upper edge instead of running under it.
constexpr Box kToolbar{0, -105, 3360, 675};
constexpr Box kOpen{120, 210, 360, 360};
constexpr Box kSave{540, 210, 360, 360};
constexpr Box kCut{1980, 210, 360, 360};
constexpr Box kCopy{2400, 210, 360, 360};
constexpr Box kPaste{2820, 210, 360, 360};
constexpr Box kList{60, 570, 3285, 2790};
constexpr Box kMoveUp{3600, 1260, 360, 360};
constexpr Box kMoveDown{3600, 2040, 360, 360};
// Centred on the arrows, wide enough that neither language's text is cut.
constexpr Box kArrange{3380, 1740, 875, 195};
constexpr Box kOk{4320, 90, 1395, 420};
constexpr Box kCancel{4320, 600, 1395, 420};
constexpr Box kAdd{4320, 1920, 1395, 420};
constexpr Box kEdit{4320, 2460, 1395, 420};
constexpr Box kRemove{4320, 3000, 1395, 420};
}  // namespace list

// The item editor, in pixels at 96 dpi. Labels reach to their field, so
// that none is cut in either language.
namespace editor {
constexpr Box kWindow{0, 0, 576, 506};
constexpr Box kEntryFrame{4, 4, 568, 57};
constexpr Box kNameLabel{8, 28, 44, 13};
constexpr Box kName{52, 24, 357, 21};
constexpr Box kWindowFrame{4, 64, 568, 185};
constexpr Box kTitleLabel{8, 24, 44, 13};
constexpr Box kTitle{52, 20, 277, 21};
constexpr Box kTitleTest{332, 20, 77, 21};
constexpr Box kClassLabel{8, 48, 44, 13};
constexpr Box kClass{52, 44, 357, 21};
constexpr Box kTextLabel{8, 68, 44, 13};
constexpr Box kText{52, 68, 357, 61};
constexpr Box kModuleLabel{8, 136, 44, 13};
constexpr Box kModule{52, 132, 357, 21};
constexpr Box kSizeLabel{8, 160, 44, 13};
constexpr Box kSize{52, 157, 357, 21};
// Centred over the search tool, wide enough for the English text.
constexpr Box kSearchLabel{420, 28, 142, 13};
constexpr Box kSearch{476, 48, 31, 28};
// The settings frame stands in the window frame, below the search tool and
// right of the fields; its label is wide enough for "Verzögerung:".
constexpr Box kSettingsFrame{412, 131, 152, 49};
constexpr Box kDelayLabel{6, 20, 80, 17};
constexpr Box kDelay{86, 18, 60, 21};
constexpr Box kMacroFrame{4, 252, 569, 217};
// The token lists are wide enough for "{Window Maximize}".
constexpr Box kMacro{8, 20, 285, 189};
constexpr Box kKeysLabel{296, 18, 105, 14};
constexpr Box kKeys{296, 32, 131, 176};
constexpr Box kFunctionsLabel{430, 18, 100, 14};
constexpr Box kFunctions{430, 32, 131, 176};
constexpr Box kOk{200, 472, 81, 29};
constexpr Box kCancel{296, 472, 81, 29};
}  // namespace editor

// About, in pixels at 96 dpi.
namespace about {
constexpr Box kWindow{0, 0, 300, 190};
constexpr Box kApp{16, 12, 268, 30};
constexpr Box kBuild{16, 44, 268, 16};
constexpr Box kDevelopmentFrame{8, 68, 284, 72};
constexpr Box kMakers{12, 20, 260, 18};
// The first link; the next one lies kLinkStep lower.
constexpr Box kLink{12, 40, 260, 16};
constexpr int kLinkStep = 16;
constexpr Box kOk{110, 152, 81, 27};
}  // namespace about

}  // namespace rw::layout
