// How far a job has come, on standard error: a bar that redraws itself on a terminal, a
// line every tenth of the way when the output goes to a file or a pipe, so that logs stay
// readable.
#pragma once

#include <ostream>
#include <string>

class TProgress {
public:
    TProgress(std::ostream& out, bool terminal, std::string title, unsigned total);
    ~TProgress();
    TProgress(const TProgress&) = delete;
    TProgress& operator=(const TProgress&) = delete;

    void Show(unsigned done);
    // A passing note on a terminal (what is being tried now); nothing elsewhere.
    void Note(const std::string& text);
    // Ends the bar's line, so that the next output starts on a line of its own.
    void Finish();
    // Takes the bar or note off the terminal's line.
    void Erase();

private:
    void Clear();

    std::ostream& Out;
    bool Terminal;
    std::string Title;
    unsigned Total;
    int Shown = -1;        // the percentage on screen, or the last tenth written as a line
    std::size_t Width = 0; // characters of the line being redrawn
};
