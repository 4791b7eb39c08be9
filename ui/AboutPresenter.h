// The About window's logic: the program's name, version and build, where
// its files live, and its links, which open through the desktop or go to
// the clipboard.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "ui/Texts.h"

namespace rw {

// A link label. A link without a target is not shown.
struct AboutLink {
    std::string text;       // what the label shows, the bare address
    bool mail = false;      // opened as "mailto:"
};

class AboutView {
public:
    virtual ~AboutView() = default;
    virtual void ShowProgram(const std::string& nameAndVersion, const std::string& build) = 0;
    // Shown in order; a view hides the labels it gets none for.
    virtual void ShowLinks(const std::vector<AboutLink>& links) = 0;
    // The links' pointer turns into the wait pointer while one opens.
    virtual void SetLinkWaitCursor(bool wait) = 0;
    virtual void ShowInformation(const std::string& text) = 0;
    virtual void CloseWindow() = 0;
};

struct AboutServices {
    std::vector<AboutLink> links;
    std::string exePath;
    std::string iniPath;
    std::function<void(const std::string& url)> openUrl;
    std::function<void(const std::string& text)> setClipText;
    std::function<void(std::uint32_t ms)> sleep;
    AboutTexts texts;
};

class AboutPresenter {
public:
    AboutPresenter(AboutView& view, AboutServices services);
    void Load();
    void OpenLink(std::size_t index);
    void CopyLink(std::size_t index);
    // A click on the program's name says where the program and its items
    // live.
    void ProgramNameClicked();
    void Close();

    const AboutTexts& Texts() const { return services_.texts; }
    // "Build 073" for revision 73.
    static std::string BuildText();

private:
    AboutView& view_;
    AboutServices services_;
};

}  // namespace rw
