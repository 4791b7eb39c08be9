// Control ids of the settings windows. IDOK and IDCANCEL keep their system
// values, so the dialog manager's Enter and Esc reach the right buttons.
// The end-to-end tests read this file to find the controls by name: keep
// one "constexpr int kName = value;" per line.
#pragma once

namespace rw::win32ui::id {

// Item list window.
constexpr int kCmdOK = 1;
constexpr int kCmdCancel = 2;
constexpr int kLst = 100;
constexpr int kCmdAdd = 101;
constexpr int kCmdEdit = 102;
constexpr int kCmdDelete = 103;
constexpr int kCmdMoveUp = 104;
constexpr int kCmdMoveDown = 105;
constexpr int kCmdOpenSave10 = 106;
constexpr int kCmdOpenSave11 = 107;
constexpr int kCmdClip0 = 108;
constexpr int kCmdClip1 = 109;
constexpr int kCmdClip2 = 110;
constexpr int kLblArrange = 111;
constexpr int kFraToolbar = 112;

// Item editor.
constexpr int kFraEntry = 200;
constexpr int kLblName = 201;
constexpr int kTxtDesc = 202;
constexpr int kFraWindow = 203;
constexpr int kLblTitle = 204;
constexpr int kTxtTitle = 205;
constexpr int kCboTitleTestType = 206;
constexpr int kLblClass = 207;
constexpr int kTxtClass = 208;
constexpr int kLblText = 209;
constexpr int kTxtText = 210;
constexpr int kLblModule = 211;
constexpr int kTxtModul = 212;
constexpr int kLblSize = 213;
constexpr int kTxtSize = 214;
constexpr int kLblSearch = 215;
constexpr int kPicSearch = 216;
constexpr int kFraSettings = 217;
constexpr int kLblDelay = 218;
constexpr int kCboDelay = 219;
constexpr int kFraMacro = 220;
constexpr int kTxtMacro = 221;
constexpr int kLblKeys = 222;
constexpr int kLstKeys = 223;
constexpr int kLblFunctions = 224;
constexpr int kLstMisc = 225;

// About window.
constexpr int kLblApp = 300;
constexpr int kLblBuild = 301;
constexpr int kFraDev = 302;
constexpr int kLblLink0 = 303;
constexpr int kLblLink1 = 304;
constexpr int kLblMakers = 305;

}  // namespace rw::win32ui::id
