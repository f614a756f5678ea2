#pragma once
// The debug log and the chat panes. DebugLog may be called from any thread.

#include <cstdarg>
#include <string>

#include "platform/Ui.h"

namespace khub {

#if defined(__MINGW32__)
// mingw's C++ library formats with its own C99 printf (%zu, %lld), not the system's.
#define KHUB_PRINTF(fmt, args) __attribute__((format(gnu_printf, fmt, args)))
#elif defined(__GNUC__)
#define KHUB_PRINTF(fmt, args) __attribute__((format(printf, fmt, args)))
#else
#define KHUB_PRINTF(fmt, args)
#endif

// printf-style formatting into a std::string, cut to the formatted-text limit.
std::string FormatText(const char* format, ...) KHUB_PRINTF(1, 2);
std::string FormatTextV(const char* format, std::va_list args);
// The text without the CR and LF characters at its end.
std::string WithoutLineEnd(std::string text);

class Logger {
  public:
    explicit Logger(Ui& ui) : ui_(ui) {}

    // One line for the debug window, with colour codes.
    void DebugLog(const char* format, ...) KHUB_PRINTF(2, 3);
    // Coloured text into a window's text pane.
    void AppendColoredText(WindowId window, int controlId, const char* format, ...)
        KHUB_PRINTF(4, 5);
    // Already formatted text into a pane (no printf interpretation of %).
    void AppendFormatted(WindowId window, int controlId, const std::string& text);

  private:
    Ui& ui_;
};

}  // namespace khub
