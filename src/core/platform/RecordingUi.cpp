#include "RecordingUi.h"

namespace khub {

const char* WindowName(WindowId id) {
    switch (id) {
        case WindowId::Main: return "main";
        case WindowId::Debug: return "debug";
        case WindowId::Options: return "options";
        case WindowId::CreateGame: return "create";
        case WindowId::HostGame: return "host";
        case WindowId::JoinGame: return "join";
        case WindowId::FileTransfer: return "transfer";
        case WindowId::About: return "about";
    }
    return "?";
}

std::string PlainText(const std::vector<ColorStretch>& stretches) {
    std::string out;
    for (const auto& s : stretches) out += s.text;
    return out;
}

void RecordingUi::SetListener(Listener listener) {
    std::lock_guard lock(mutex_);
    listener_ = std::move(listener);
}

void RecordingUi::SetKeepHistory(bool keep) {
    std::lock_guard lock(mutex_);
    keepHistory_ = keep;
}

void RecordingUi::Emit(const Event& e) {
    Listener listener;
    {
        std::lock_guard lock(mutex_);
        if (keepHistory_) events_.push_back(e);
        listener = listener_;
    }
    if (listener) listener(e);
}

void RecordingUi::SetMainTitle(const std::string& title) {
    {
        std::lock_guard lock(mutex_);
        title_ = title;
    }
    Emit({"title", WindowId::Main, 0, title, 0});
}

void RecordingUi::SetMenuItem(int menuId, const std::string& text, bool enabled) {
    std::string shown;
    {
        std::lock_guard lock(mutex_);
        auto& item = menu_[menuId];
        if (!text.empty()) item.first = text;
        item.second = enabled;
        shown = item.first;
    }
    Emit({"menu", WindowId::Main, menuId, shown, enabled ? 1 : 0});
}

void RecordingUi::OpenWindow(WindowId window) {
    {
        std::lock_guard lock(mutex_);
        open_.insert(window);
        for (auto it = enabled_.begin(); it != enabled_.end();) {
            it = it->first.first == window ? enabled_.erase(it) : std::next(it);
        }
        for (auto it = texts_.begin(); it != texts_.end();) {
            it = it->first.first == window ? texts_.erase(it) : std::next(it);
        }
        for (auto it = progress_.begin(); it != progress_.end();) {
            it = it->first.first == window ? progress_.erase(it) : std::next(it);
        }
        for (auto& [id, on] : initialControls_[window]) enabled_[{window, id}] = on;
    }
    Emit({"open", window, 0, WindowName(window), 0});
}

void RecordingUi::CloseWindow(WindowId window) {
    {
        std::lock_guard lock(mutex_);
        open_.erase(window);
    }
    Emit({"close", window, 0, WindowName(window), 0});
}

void RecordingUi::SetWindowTitle(WindowId window, const std::string& title) {
    {
        std::lock_guard lock(mutex_);
        windowTitles_[window] = title;
    }
    Emit({"wtitle", window, 0, title, 0});
}

void RecordingUi::EnableControl(WindowId window, int controlId, bool enabled) {
    {
        std::lock_guard lock(mutex_);
        enabled_[{window, controlId}] = enabled;
    }
    Emit({"enable", window, controlId, "", enabled ? 1 : 0});
}

void RecordingUi::SetControlText(WindowId window, int controlId, const std::string& text) {
    {
        std::lock_guard lock(mutex_);
        texts_[{window, controlId}] = text;
    }
    Emit({"text", window, controlId, text, 0});
}

void RecordingUi::AppendText(WindowId window, int controlId,
                             const std::vector<ColorStretch>& stretches) {
    {
        std::lock_guard lock(mutex_);
        if (keepHistory_) panes_[{window, controlId}].push_back(stretches);
    }
    Emit({"append", window, controlId, PlainText(stretches), 0});
}

void RecordingUi::ShowProgress(WindowId window, int controlId, bool visible) {
    Emit({"progress-show", window, controlId, "", visible ? 1 : 0});
}

void RecordingUi::SetProgress(WindowId window, int controlId, int position) {
    {
        std::lock_guard lock(mutex_);
        progress_[{window, controlId}] = position;
    }
    Emit({"progress", window, controlId, "", position});
}

void RecordingUi::ShowMessage(const std::string& text, BoxIcon icon) {
    {
        std::lock_guard lock(mutex_);
        boxes_.emplace_back(text, icon);
    }
    Emit({"box", WindowId::Main, 0, text, static_cast<int>(icon)});
}

void RecordingUi::PlaySound(const std::string& file) {
    {
        std::lock_guard lock(mutex_);
        sounds_.push_back(file);
    }
    Emit({"sound", WindowId::Main, 0, file, 0});
}

void RecordingUi::OpenAddress(const std::string& url) {
    {
        std::lock_guard lock(mutex_);
        addresses_.push_back(url);
    }
    Emit({"url", WindowId::Main, 0, url, 0});
}

std::string RecordingUi::MainTitle() const {
    std::lock_guard lock(mutex_);
    return title_;
}

std::string RecordingUi::MenuText(int menuId) const {
    std::lock_guard lock(mutex_);
    auto it = menu_.find(menuId);
    return it == menu_.end() ? std::string() : it->second.first;
}

bool RecordingUi::MenuEnabled(int menuId) const {
    std::lock_guard lock(mutex_);
    auto it = menu_.find(menuId);
    return it == menu_.end() ? false : it->second.second;
}

bool RecordingUi::IsOpen(WindowId window) const {
    std::lock_guard lock(mutex_);
    return open_.count(window) != 0;
}

std::string RecordingUi::WindowTitle(WindowId window) const {
    std::lock_guard lock(mutex_);
    auto it = windowTitles_.find(window);
    return it == windowTitles_.end() ? std::string() : it->second;
}

bool RecordingUi::ControlEnabled(WindowId window, int controlId) const {
    std::lock_guard lock(mutex_);
    auto it = enabled_.find({window, controlId});
    return it == enabled_.end() ? true : it->second;
}

std::string RecordingUi::ControlText(WindowId window, int controlId) const {
    std::lock_guard lock(mutex_);
    auto it = texts_.find({window, controlId});
    return it == texts_.end() ? std::string() : it->second;
}

std::vector<std::string> RecordingUi::Lines(WindowId window, int controlId) const {
    std::lock_guard lock(mutex_);
    std::vector<std::string> out;
    auto it = panes_.find({window, controlId});
    if (it != panes_.end()) {
        for (const auto& stretches : it->second) out.push_back(PlainText(stretches));
    }
    return out;
}

std::vector<std::vector<ColorStretch>> RecordingUi::Stretches(WindowId window,
                                                              int controlId) const {
    std::lock_guard lock(mutex_);
    auto it = panes_.find({window, controlId});
    return it == panes_.end() ? std::vector<std::vector<ColorStretch>>{} : it->second;
}

std::vector<std::pair<std::string, BoxIcon>> RecordingUi::Boxes() const {
    std::lock_guard lock(mutex_);
    return boxes_;
}

std::vector<std::string> RecordingUi::Sounds() const {
    std::lock_guard lock(mutex_);
    return sounds_;
}

std::vector<std::string> RecordingUi::Addresses() const {
    std::lock_guard lock(mutex_);
    return addresses_;
}

std::optional<int> RecordingUi::Progress(WindowId window, int controlId) const {
    std::lock_guard lock(mutex_);
    auto it = progress_.find({window, controlId});
    if (it == progress_.end()) return std::nullopt;
    return it->second;
}

std::vector<RecordingUi::Event> RecordingUi::Events() const {
    std::lock_guard lock(mutex_);
    return events_;
}

void RecordingUi::Clear() {
    std::lock_guard lock(mutex_);
    events_.clear();
    panes_.clear();
    boxes_.clear();
    sounds_.clear();
    addresses_.clear();
}

void RecordingUi::SetInitialControls(WindowId window, std::map<int, bool> enabled) {
    std::lock_guard lock(mutex_);
    initialControls_[window] = std::move(enabled);
}

}  // namespace khub
