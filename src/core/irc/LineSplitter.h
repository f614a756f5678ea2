#pragma once
// Cuts the server's byte stream into lines. A line ends at LF; one CR before it goes too,
// so a CR LF split across two reads still gives one line without CR. A line longer than
// kMaxLine bytes is dropped whole and the splitter carries on with the next one.

#include <cstddef>
#include <string>
#include <string_view>

namespace khub {

class LineSplitter {
  public:
    static constexpr std::size_t kMaxLine = 2047;

    // onLine(std::string_view line) for every complete line, in order;
    // onDropped(std::size_t length) for every line that was too long.
    template <class OnLine, class OnDropped>
    void Feed(std::string_view data, OnLine&& onLine, OnDropped&& onDropped) {
        while (!data.empty()) {
            std::size_t lf = data.find('\n');
            std::string_view piece = data.substr(0, lf);
            if (!dropping_) {
                if (pending_.size() + piece.size() <= kMaxLine + 1) {  // +1: a CR yet to go
                    pending_.append(piece);
                } else {
                    dropping_ = true;
                    lastWasCr_ = false;
                    droppedLength_ = pending_.size();
                    pending_.clear();
                }
            }
            if (dropping_) {
                droppedLength_ += piece.size();
                if (!piece.empty()) lastWasCr_ = piece.back() == '\r';
            }
            if (lf == std::string_view::npos) return;
            data.remove_prefix(lf + 1);
            if (dropping_) {
                dropping_ = false;
                onDropped(droppedLength_ - (lastWasCr_ ? 1 : 0));
                continue;
            }
            if (!pending_.empty() && pending_.back() == '\r') pending_.pop_back();
            if (pending_.size() > kMaxLine) {
                onDropped(pending_.size());
            } else {
                onLine(std::string_view(pending_));
            }
            pending_.clear();
        }
    }

    // Bytes of a line still waiting for its end.
    std::size_t PendingBytes() const { return dropping_ ? droppedLength_ : pending_.size(); }

  private:
    std::string pending_;
    bool dropping_ = false;
    std::size_t droppedLength_ = 0;
    bool lastWasCr_ = false;
};

}  // namespace khub
