#include "untJobProgress.h"

#include <sstream>

namespace {
const int BarWidth = 30;

// Screen columns of UTF-8 text: continuation bytes take none.
std::size_t Columns(const std::string& text) {
    std::size_t columns = 0;
    for (const char c : text)
        columns += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    return columns;
}
} // namespace

TProgress::TProgress(std::ostream& out, bool terminal, std::string title, unsigned total)
    : Out(out), Terminal(terminal), Title(std::move(title)), Total(total) {}

TProgress::~TProgress() {
    Finish();
}

void TProgress::Show(unsigned done) {
    const int percent = Total == 0 ? 100 : static_cast<int>(100ull * done / Total);
    std::ostringstream text;
    text << Title << ' ';
    if (Terminal) {
        if (percent == Shown)
            return;
        const int filled = percent * BarWidth / 100;
        text << '[' << std::string(static_cast<std::size_t>(filled), '#')
             << std::string(static_cast<std::size_t>(BarWidth - filled), '.') << "] ";
    } else {
        if (percent / 10 == Shown)
            return;
    }
    text << percent << "% (" << done << '/' << Total << ')';
    if (Terminal) {
        Clear();
        Out << text.str() << std::flush;
        Width = Columns(text.str());
        Shown = percent;
    } else {
        Out << text.str() << std::endl;
        Shown = percent / 10;
    }
}

void TProgress::Note(const std::string& text) {
    if (!Terminal)
        return;
    Clear();
    Out << text << std::flush;
    Width = Columns(text);
    Shown = -1;
}

void TProgress::Finish() {
    if (!Terminal || Width == 0)
        return;
    Out << '\n' << std::flush;
    Width = 0;
    Shown = -1;
}

void TProgress::Erase() {
    Clear();
    Out << std::flush;
    Width = 0;
    Shown = -1;
}

// Blanks over the old line: a carriage return alone leaves the tail of a longer one.
void TProgress::Clear() {
    if (Width > 0)
        Out << '\r' << std::string(Width, ' ') << '\r';
}
