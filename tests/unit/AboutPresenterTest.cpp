// The About window's logic.
#include <gtest/gtest.h>

#include "tests/unit/CoreFixture.h"
#include "ui/AboutPresenter.h"

using namespace rw;

namespace {

class RecordingAbout : public AboutView {
public:
    void ShowProgram(const std::string& name, const std::string& build) override { lines.push_back(name + " | " + build); }
    void ShowLinks(const std::vector<AboutLink>& l) override { links = l; }
    void SetLinkWaitCursor(bool wait) override { lines.push_back(wait ? "wait" : "hand"); }
    void ShowInformation(const std::string& text) override { lines.push_back("info " + text); }
    void CloseWindow() override { lines.push_back("close"); }
    Lines lines;
    std::vector<AboutLink> links;
};

TEST(AboutPresenter, ShowsVersionBuildAndOnlyLinksThatHaveATarget) {
    RecordingAbout view;
    AboutServices s;
    s.links = {{"", true}, {"https://example.invalid/replywick", false}};
    AboutPresenter about(view, s);
    about.Load();
    EXPECT_EQ(view.lines, Lines{"Replywick V0.9 | Build 073"});
    ASSERT_EQ(view.links.size(), 1u);
}

TEST(AboutPresenter, LinksOpenWithTheSubjectAndCopyBare) {
    RecordingAbout view;
    Lines opened, copied;
    AboutServices s;
    s.links = {{"home.invalid", false}, {"someone@home.invalid", true}};
    s.openUrl = [&](const std::string& u) { opened.push_back(u); };
    s.setClipText = [&](const std::string& t) { copied.push_back(t); };
    s.sleep = [&](std::uint32_t ms) { view.lines.push_back("sleep " + std::to_string(ms)); };
    s.exePath = "/opt/rw/replywick";
    s.iniPath = "/home/u/.config/replywick/replywick.ini";
    AboutPresenter about(view, s);
    about.Load();
    view.lines.clear();
    about.OpenLink(0);
    about.OpenLink(1);
    about.OpenLink(2);  // no such link
    about.CopyLink(1);
    about.ProgramNameClicked();
    EXPECT_EQ(opened, (Lines{"home.invalid?subject=Replywick", "mailto:someone@home.invalid?subject=Replywick"}));
    EXPECT_EQ(copied, Lines{"someone@home.invalid"});
    EXPECT_EQ(view.lines, (Lines{"wait", "sleep 300", "hand", "wait", "sleep 300", "hand",
                                 "info /opt/rw/replywick\n/home/u/.config/replywick/replywick.ini"}));
}

TEST(AboutPresenter, TextsFollowTheLanguage) {
    EXPECT_EQ(AboutTextsFor(false).development, "Entwicklung");
    EXPECT_EQ(AboutTextsFor(true).development, "Development");
    EXPECT_EQ(AboutTextsFor(true).caption, "Information");
    EXPECT_EQ(AboutTextsFor(true).copyLink, "Copy Link Location");
    // The frame names the makers in both languages and on both platforms.
    EXPECT_EQ(AboutTextsFor(false).makers, "The Replywick developers");
    EXPECT_EQ(AboutTextsFor(true).makers, "The Replywick developers");
}

}  // namespace
