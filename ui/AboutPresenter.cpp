#include "ui/AboutPresenter.h"

#include <cstdio>
#include <utility>

#include "base/AppValues.h"

namespace rw {

AboutPresenter::AboutPresenter(AboutView& view, AboutServices services) : view_(view), services_(std::move(services)) {}

std::string AboutPresenter::BuildText() {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%03d", kVersionRevision);
    return std::string("Build ") + buf;
}

void AboutPresenter::Load() {
    view_.ShowProgram(GetVersionText(), BuildText());
    std::vector<AboutLink> shown;
    for (const auto& l : services_.links)
        if (!l.text.empty()) shown.push_back(l);
    services_.links = shown;
    view_.ShowLinks(shown);
}

void AboutPresenter::OpenLink(std::size_t index) {
    if (index >= services_.links.size()) return;
    const AboutLink& link = services_.links[index];
    view_.SetLinkWaitCursor(true);
    std::string url = link.text + "?subject=Replywick";
    if (link.mail) url = "mailto:" + url;
    if (services_.openUrl) services_.openUrl(url);
    if (services_.sleep) services_.sleep(300);
    view_.SetLinkWaitCursor(false);
}

void AboutPresenter::CopyLink(std::size_t index) {
    if (index >= services_.links.size() || !services_.setClipText) return;
    services_.setClipText(services_.links[index].text);
}

void AboutPresenter::ProgramNameClicked() { view_.ShowInformation(services_.exePath + "\n" + services_.iniPath); }

void AboutPresenter::Close() { view_.CloseWindow(); }

}  // namespace rw
