#pragma once
// A nine-letter sequence typed with Shift in the main window: E A S T E R E G G.

namespace khub::gui {

class KeySequence {
  public:
    // True when this letter completes the sequence (which then starts over). A wrong
    // letter starts over without counting as a first letter.
    bool Step(char letter) {
        static constexpr char kLetters[] = "EASTEREGG";
        if (letter == kLetters[position_]) {
            if (++position_ == 9) {
                position_ = 0;
                return true;
            }
        } else {
            position_ = 0;
        }
        return false;
    }
    int Position() const { return position_; }

  private:
    int position_ = 0;
};

}  // namespace khub::gui
